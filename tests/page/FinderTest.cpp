// The image finder against libgumbo, and the byte ranges it reports.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "page/GumboImages.h"

namespace bw {
namespace {

TEST(ImageFinder, GeneratedPagesAgreeWithGumbo)
{
    int failures = 0;
    std::string smallest, smallestDiff;
    for (uint32_t seed = 1; seed <= 4000; ++seed) {
        const std::string page = test::makeTestPage(seed);
        std::string diff = test::compareWithGumbo(page);
        if (diff.empty())
            continue;
        ++failures;
        if (smallest.empty() || page.size() < smallest.size()) {
            smallest = page;
            smallestDiff = std::move(diff);
        }
    }
    EXPECT_EQ(failures, 0) << "smallest failing page:\n" << test::printable(smallest) << "\n" << smallestDiff;
}

TEST(ImageFinder, SourceTreePagesAgreeWithGumbo)
{
    int pages = 0;
    for (const char* folder : {"examples", "tests"}) {
        const std::filesystem::path root = std::filesystem::path(BW_SOURCE_DIR) / folder;
        if (!std::filesystem::exists(root))
            continue;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            const std::string extension = entry.path().extension().string();
            if (!entry.is_regular_file() || (extension != ".html" && extension != ".htm"))
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream bytes;
            bytes << in.rdbuf();
            ++pages;
            EXPECT_EQ(test::compareWithGumbo(bytes.str()), "") << entry.path();
        }
    }
    EXPECT_GT(pages, 0);
}

// The image at `index` (or "none") as: tag, name, [whole|name|value|quote] per attribute, "/"
// when self-closing; then the base address.
std::string describe(std::string_view page, size_t index)
{
    const FoundImages found = findImages(page);
    std::string text = "none";
    if (index < found.images.size()) {
        const StartTag& tag = found.images[index].tag;
        text = std::string(tag.whole.of(page)) + " " + std::string(tag.name.of(page));
        for (const TagAttribute& a : tag.attributes)
            text += " [" + std::string(a.whole.of(page)) + "|" + std::string(a.name.of(page)) + "|" +
                    (a.hasValue ? std::string(a.value.of(page)) : "-") + "|" + (a.quote ? std::string(1, a.quote) : "") +
                    "]";
        if (tag.selfClosing)
            text += " /";
    }
    if (found.baseHref)
        text += " base:" + std::string(found.baseHref->of(page));
    return test::printable(text);
}

TEST(ImageFinder, ReportsTheBytesOfEachPart)
{
    using namespace std::string_view_literals;
    const struct {
        std::string_view page;
        size_t index;
        std::string_view expected;
    } rows[] = {
        {"<img src=\"a.gif\" alt='x' width=3>", 0,
         "<img src=\"a.gif\" alt='x' width=3> img [src=\"a.gif\"|src|a.gif|\"] [alt='x'|alt|x|'] [width=3|width|3|]"},
        {"<IMG/SRC=x/>", 0, "<IMG/SRC=x/> IMG [SRC=x/|SRC|x/|]"},
        {"<img src=x />", 0, "<img src=x /> img [src=x|src|x|] /"},
        {"<img alt src = \"b\" ALT=y>", 0, "<img alt src = \"b\" ALT=y> img [alt|alt|-|] [src = \"b\"|src|b|\"] [ALT=y|ALT|y|]"},
        {"<img src=\"a>b\"c=d e=>", 0, "<img src=\"a>b\"c=d e=> img [src=\"a>b\"|src|a>b|\"] [c=d|c|d|] [e=|e||]"},
        {"<!-- <img src=1> --!><script>'<img src=s>'</SCRIPT ><img src=2>", 0, "<img src=2> img [src=2|src|2|]"},
        {"<img src=1><body background=bg.gif>", 0, "<body background=bg.gif> body [background=bg.gif|background|bg.gif|]"},
        {"<base target=_top><base href=\"/x/\"><base href=y>", 0, "none base:/x/"},
        {"<img\tsrc=\0x\n>"sv, 0, "<img\\x09src=\\x00x\\x0a> img [src=\\x00x|src|\\x00x|]"},
        {"<svg><![CDATA[<img src=c>]]><image/></svg><input TYPE=Image>", 0, "<input TYPE=Image> input [TYPE=Image|TYPE|Image|]"},
        {"<img src=e", 0, "none"},
        {"<area nohref><area href=h>", 0, "<area href=h> area [href=h|href|h|]"},
        {"<picture><source srcset=a.webp><img src=p></picture>", 0, "<img src=p> img [src=p|src|p|]"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(describe(row.page, row.index), row.expected) << test::printable(row.page);
}

} // namespace
} // namespace bw
