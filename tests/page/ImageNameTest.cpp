// What a tag names, and where that picture is to be found.
#include <gtest/gtest.h>

#include "page/ImageName.h"

namespace bw {
namespace {

using Kind = ImageSource::Kind;

// A tag as the finder would give it, for pages written as <tag name="value" ...>.
FoundImage tagOf(std::string_view page, ImageKind kind)
{
    FoundImage image{kind, {}};
    image.tag.whole = {0, page.size()};
    size_t at = page.find_first_of(" >");
    image.tag.name = {1, at};
    while ((at = page.find('=', at)) != std::string_view::npos) {
        size_t nameBegin = page.rfind(' ', at) + 1;
        size_t valueEnd = page.find('"', at + 2);
        TagAttribute attribute;
        attribute.name = {nameBegin, at};
        attribute.value = {at + 2, valueEnd};
        attribute.whole = {nameBegin, valueEnd + 1};
        attribute.quote = '"';
        attribute.hasValue = true;
        image.tag.attributes.push_back(attribute);
        at = valueEnd;
    }
    return image;
}

TEST(ImageName, WrittenNameFallsBackFromSrcToLazyAndCandidateLists)
{
    const struct {
        const char* page;
        ImageKind kind;
        const char* name;
    } rows[] = {
        {R"(<img src="a.png" data-src="b.png">)", ImageKind::Img, "a.png"},
        {R"(<img SRC="first.png" src="second.png">)", ImageKind::Img, "first.png"},
        {R"(<img src="" data-src="lazy.png" srcset="c.png 1x">)", ImageKind::Img, "lazy.png"},
        {R"(<img src=" " srcset="a.png 1x, b.png 2x">)", ImageKind::Img, "a.png"},
        {R"(<img srcset="  small.jpg, big.jpg 2x">)", ImageKind::Img, "small.jpg"},
        {R"(<img srcset=", ,">)", ImageKind::Img, ""},
        {R"(<img alt="nothing">)", ImageKind::Img, ""},
        {R"(<input type="image" src="go.gif">)", ImageKind::InputImage, "go.gif"},
        {R"(<area src="no.png" href="map.html">)", ImageKind::Area, "map.html"},
        {R"(<body src="no.png" background="bg.gif">)", ImageKind::Background, "bg.gif"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.page);
        EXPECT_EQ(writtenName(row.page, tagOf(row.page, row.kind)), row.name);
    }
}

TEST(ImageName, CharacterReferencesBecomeUtf8AndUnknownOnesStay)
{
    const struct {
        std::string text, decoded;
    } rows[] = {
        {"&#233;&#xE9;&#X263a;&#65&copy;&amp&ampx", "\xC3\xA9\xC3\xA9\xE2\x98\xBA" "A&copy;&&ampx"},
        {"&#&#x;&#150;&#0;&#xD800;&#x110000;", "&#&#x;\xE2\x80\x93\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"&#" + std::string(5000, '9') + ";x", "\xEF\xBF\xBDx"},
        {"&apos&", "&apos&"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 60));
        EXPECT_EQ(decodeCharacterReferences(row.text), row.decoded);
    }
}

TEST(ImageName, NamesAreDecodedAndClassifiedAsABrowserReadsThem)
{
    const struct {
        std::string written, base;
        Kind kind;
        std::string path;
        bool rootRelative = false;
        std::string data = {}, mediaType = {};
    } rows[] = {
        {"pics/a.png", "", Kind::File, "pics/a.png"},
        {" a&amp;b&lt;&gt;&quot;&apos;&nbsp;.png ", "", Kind::File, "a&b<>\"'\xC2\xA0.png"},
        {"my%20pic%2epng%zz%4%", "", Kind::File, "my pic.png%zz%4%"},
        {"a%00b.png&#0;", "", Kind::File, "a%00b.png\xEF\xBF\xBD"},
        {"a.png?v=2#top", "", Kind::File, "a.png"},
        {"a.png&#63;v=2", "", Kind::File, "a.png"},
        {"a%3Fb.png", "", Kind::File, "a?b.png"},
        {"./in\\side.png", "", Kind::File, "./in\\side.png"},
        {"/img/a.png", "", Kind::File, "img/a.png", true},
        {"#top", "", Kind::None, ""},
        {"   ", "", Kind::None, ""},
        {"HTTPS://x.example/a.png?s=1", "", Kind::Remote, "HTTPS://x.example/a.png?s=1"},
        {"//cdn.example/a.png", "", Kind::Remote, "//cdn.example/a.png"},
        {"JavaScript:void(0)", "", Kind::None, ""},
        {"mailto:a@b", "", Kind::None, ""},
        {"about:blank", "", Kind::None, ""},
        // The page's <base href>.
        {"a.png", "sub/", Kind::File, "sub/a.png"},
        {"a.png", "sub/index.html?x=/y/", Kind::File, "sub/a.png"},
        {"a.png", "../img/", Kind::File, "../img/a.png"},
        {"a.png", "index.html", Kind::File, "a.png"},
        {"a.png", "/x/", Kind::File, "x/a.png", true},
        {"/a.png", "sub/", Kind::File, "a.png", true},
        {"a.png", "http://h.example/d/p.html", Kind::Remote, "http://h.example/d/a.png"},
        {"/a.png", "https://h.example/d/", Kind::Remote, "https://h.example/a.png"},
        {"a.png", "http://h.example", Kind::Remote, "http://h.example/a.png"},
        {"a.png", "file:///srv/", Kind::File, "a.png"},
        {"http://o.example/a.png", "sub/", Kind::Remote, "http://o.example/a.png"},
        // data: URLs.
        {"data:image/png;base64,iVBO Rw==", "", Kind::Data, "", false, "\x89PNG", "image/png"},
        {"DATA:image/gif;BASE64,R0lGOA", "", Kind::Data, "", false, "GIF8", "image/gif"},
        {"data:image/svg+xml,%3Csvg%2F%3E%00", "", Kind::Data, "", false, std::string("<svg/>\0", 7),
         "image/svg+xml"},
        {"data:;base64,!!!!", "", Kind::Data, "", false, "", ""},
        {"data:image/png;base64,QQ=A", "", Kind::Data, "", false, "", "image/png"},
        {"data:image/png", "", Kind::None, ""},
        {"data:", "", Kind::None, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.written.substr(0, 60) + " | base " + row.base);
        ImageSource source = imageSource(row.written, row.base);
        EXPECT_EQ(source.kind, row.kind);
        EXPECT_EQ(source.path, row.path);
        EXPECT_EQ(source.rootRelative, row.rootRelative);
        EXPECT_EQ(source.data, row.data);
        EXPECT_EQ(source.mediaType, row.mediaType);
        EXPECT_EQ(source.path.find('\0'), std::string::npos);
    }
}

TEST(ImageName, RootRelativeNamesAreLookedForFromThePageFolderUp)
{
    const struct {
        std::string folder, written;
        std::vector<std::string> paths;
    } rows[] = {
        {"/site/pages/", "img/a.png", {"/site/pages/img/a.png"}},
        {"/site/pages", "a.png", {"/site/pages/a.png"}},
        {"/site/pages/", "/img/a.png", {"/site/pages/img/a.png", "/site/img/a.png", "/img/a.png"}},
        {"/", "/a.png", {"/a.png"}},
        {"C:/web/", "/a.png", {"C:/web/a.png", "C:/a.png"}},
        {"/site/", "http://h.example/a.png", {}},
        {"/site/", "data:,x", {}},
        {"/site/", "", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.folder + " " + row.written);
        EXPECT_EQ(candidatePaths(row.folder, imageSource(row.written)), row.paths);
    }
}

} // namespace
} // namespace bw
