// The image finder, and the links and figures it places images in, against libgumbo.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "page/GumboImages.h"
#include "page/ImageContext.h"

namespace bw {
namespace {

// The one-pass reader the check uses gives each image it waits for the link text and caption the
// whole page's walk gives, and tells an image it stands outside links and figures only when it
// does. It waits for two images in three: the others are passed by, as decorative ones are.
std::string compareReader(std::string_view page)
{
    struct Reader final : ImageReader {
        std::map<size_t, size_t> at; // an image's index: where its tag starts
        std::map<size_t, ImageContext> told;
        std::set<size_t> outside;
        Wants met(size_t index, const FoundImage& image, bool out) override
        {
            at[index] = image.tag.whole.begin;
            if (out)
                outside.insert(image.tag.whole.begin);
            return out || index % 3 == 1 ? Wants::Nothing : Wants::LinkAndCaption;
        }
        void graphic(const FoundGraphic&) override {}
        void settled(size_t index, const ImageContext& context) override { told[at[index]] = context; }
    } reader;
    readImages(page, "UTF-8", reader);
    const FoundImages found = findImages(page);
    const std::vector<ImageContext> whole = imageContexts(page, found, "UTF-8");
    std::string diff;
    for (size_t i = 0; i < found.images.size(); ++i) {
        const size_t begin = found.images[i].tag.whole.begin;
        const auto told = reader.told.find(begin);
        if (reader.outside.count(begin) && (whole[i].linkHref || whole[i].inFigure))
            diff += "told outside at " + std::to_string(begin) + "\n";
        else if (told != reader.told.end() && (told->second.linkText != whole[i].linkText || told->second.caption != whole[i].caption))
            diff += "at " + std::to_string(begin) + ": read " + told->second.linkText + "|" + told->second.caption + ", whole " +
                    whole[i].linkText + "|" + whole[i].caption + "\n";
    }
    return diff;
}

TEST(ImageFinder, GeneratedSampleAndOddPagesAgreeWithGumbo)
{
    std::vector<std::pair<std::string, std::string>> pages = { // name, bytes
        {"odd", "<img src=\"a.gif\" alt='x' width=3>"},
        {"odd", "<IMG/SRC=x/>"},
        {"odd", "<img alt src = \"b\" ALT=y alt=z>"},
        {"odd", "<img src=\"a>b\"c=d e=>"},
        {"odd", "<!-- <img src=1> --!><script>'<img src=s>'</SCRIPT ><img src=2>"},
        {"odd", "<img src=1><body background=bg.gif>"},
        {"odd", "<base target=_top><base href=\"/x/\"><base href=y>"},
        {"odd", std::string("<img\tsrc=\0x\n>", 13)},
        {"odd", "<svg><![CDATA[<img src=c>]]><image/></svg><input TYPE=Image>"},
        {"odd", "<img src=e"},
        {"odd", "<area nohref><area href=h>"},
        {"odd", "<picture><source srcset=a.webp><img src=p></picture>"},
        {"odd", "<div><a href=x>a</div>\n<div><img></div><table><tr><td><a href=y>t</td><td><img></td></tr></table><img>"},
        {"odd", "<a href=x><h1>><center><img alt=i><a><figure><p><img></p><figcaption>c</figcaption><form></figure></form><img>"},
        {"odd", "<table><figure><td><img><table><img><a href=z><p>y<img alt=\"&lt;\"></a><li><figure><li><img>"},
        {"odd", "<figure><img alt=a><figcaption>Sea<p>side</figcaption></figure><a href=x>Go<img alt=A>on<img alt=B>x</a>"},
    };
    for (uint32_t seed = 1; seed <= 4000; ++seed)
        pages.emplace_back("generated", test::makeTestPage(seed));
    for (uint32_t seed = 1; seed <= 3000; ++seed)
        pages.emplace_back("structure", test::makeStructurePage(seed));
    const size_t before = pages.size();
    for (const auto& entry : std::filesystem::recursive_directory_iterator(std::string(BW_SOURCE_DIR) + "/examples")) {
        if (entry.path().extension() == ".html" || entry.path().extension() == ".htm") {
            std::ifstream in(entry.path(), std::ios::binary);
            pages.emplace_back(entry.path().string(), std::string(std::istreambuf_iterator<char>(in), {}));
        }
    }
    EXPECT_GT(pages.size(), before) << "the sample pages";
    int failures = 0;
    size_t smallestSize = SIZE_MAX;
    std::string smallest, smallestDiff;
    for (const auto& [name, page] : pages) {
        std::string diff = test::compareWithGumbo(page, true) + compareReader(page);
        if (!diff.empty() && ++failures && page.size() < smallestSize) {
            smallestSize = page.size();
            smallest = name + " page " + ::testing::PrintToString(page);
            smallestDiff = std::move(diff);
        }
    }
    EXPECT_EQ(failures, 0) << "smallest failing " << smallest << "\n" << ::testing::PrintToString(smallestDiff);
}

} // namespace
} // namespace bw
