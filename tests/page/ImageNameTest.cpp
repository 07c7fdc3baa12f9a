// What a tag names, and where that picture is to be found.
#include <gtest/gtest.h>

#include "page/ImageName.h"

namespace bw {
namespace {

// The first image of the page as the page document reads it, against the page's <base href>:
// its kind, its path ("/" first when root-relative), a data URL's media type and bytes.
std::string sourceOf(std::string_view page)
{
    const FoundImages found = findImages(page);
    if (found.images.empty())
        return "no image";
    const ImageSource s = imageSource(writtenName(page, found.images[0]), found.baseHref ? found.baseHref->of(page) : "");
    static const char* const kinds[] = {"none", "file", "remote", "data"};
    return kinds[static_cast<int>(s.kind)] + std::string(s.rootRelative ? " /" : " ") + s.path +
           (s.kind == ImageSource::Kind::Data ? s.mediaType + " " + s.data : "");
}

TEST(ImageName, NamesAreFoundDecodedAndClassifiedAsABrowserReadsThem)
{
    const std::pair<std::string, std::string> rows[] = { // a page, or a name to stand in <img src="...">
        // Which attribute names the picture.
        {R"(<img src="a.png" data-src="b.png">)", "file a.png"},
        {R"(<img src="" data-src="lazy.png" srcset="c.png 1x">)", "file lazy.png"},
        {R"(<img src=" " srcset="a.png 1x, b.png 2x">)", "file a.png"},
        {R"(<img srcset="  small.jpg, big.jpg 2x">)", "file small.jpg"},
        {R"(<img srcset=", ," alt="nothing">)", "none "},
        {R"(<input type="image" src="go.gif">)", "file go.gif"},
        {R"(<area src="no.png" href="map.html">)", "file map.html"},
        {R"(<body src="no.png" backgrounx="no.gif" background="bg.gif">)", "file bg.gif"},
        {"<img SRC=\" \t\" Data-Src=\"lazy.png\">", "file lazy.png"},
        // How the name reads.
        {" a&amp;b&lt;&gt;&quot;&apos;&nbsp;.png ", "file a&b<>\"'\xC2\xA0.png"},
        {"my%20pic%2epng%zz%4%", "file my pic.png%zz%4%"},
        {"a%00b.png&#0;", "file a%00b.png\xEF\xBF\xBD"},
        {"&#233;&#xE9;&#X263a;&#65&copy;&amp&ampx", "file \xC3\xA9\xC3\xA9\xE2\x98\xBA" "A\xC2\xA9&&ampx"},
        {"&#150;&#xD800;&#x110000;&apos&", "file \xE2\x80\x93\xEF\xBF\xBD\xEF\xBF\xBD&apos&"},
        {"a.png?v=2#top", "file a.png"},
        {"a.png&#63;v=2", "file a.png"},
        {"a%3Fb.png", "file a?b.png"},
        {"a&#b.png", "file a&"},
        {"./in\\side.png", "file ./in\\side.png"},
        {"/img/a.png", "file /img/a.png"},
        {"#top", "none "},
        {"HTTPS://x.example/a.png?s=1", "remote HTTPS://x.example/a.png?s=1"},
        {"//cdn.example/a.png", "remote //cdn.example/a.png"},
        {"JavaScript:void(0)", "none "},
        // The page's <base href>.
        {"<base href=\"sub/\"><img src=a.png>", "file sub/a.png"},
        {"<base href=\"sub/index.html?x=/y/\"><img src=a.png>", "file sub/a.png"},
        {"<base href=\"index.html\"><img src=a.png>", "file a.png"},
        {"<base href=\"/x/\"><img src=a.png>", "file /x/a.png"},
        {"<base href=\"sub/\"><img src=/a.png>", "file /a.png"},
        {"<base href=\"http://h.example/d/p.html\"><img src=a.png>", "remote http://h.example/d/a.png"},
        {"<base href=\"https://h.example/d/\"><img src=/a.png>", "remote https://h.example/a.png"},
        {"<base href=\"http://h.example\"><img src=a.png>", "remote http://h.example/a.png"},
        {"<base href=\"file:///srv/\"><img src=a.png>", "file a.png"},
        {"<base href=\"sub/\"><img src=http://o.example/a.png>", "remote http://o.example/a.png"},
        // data: URLs.
        {"data:image/png;base64,iVBO Rw==", "data image/png \x89PNG"},
        {"DATA:image/gif;BASE64,R0lGOA", "data image/gif GIF8"},
        {"data:image/svg+xml,%3Csvg%2F%3E%00", std::string("data image/svg+xml <svg/>\0", 26)},
        {"data:;base64,!!!!", "data  "},
        {"data:image/png", "none "},
    };
    for (const auto& [name, expected] : rows)
        EXPECT_EQ(sourceOf(name[0] == '<' ? name : "<img src=\"" + name + "\">"), expected) << name.substr(0, 60);
}

TEST(ImageName, RootRelativeNamesAreLookedForFromThePageFolderUp)
{
    const std::tuple<std::string, std::string, std::vector<std::string>> rows[] = {
        {"/site/pages", "a.png", {"/site/pages/a.png"}},
        {"/site/pages/", "/img/a.png", {"/site/pages/img/a.png", "/site/img/a.png", "/img/a.png"}},
        {"C:/web/", "/a.png", {"C:/web/a.png", "C:/a.png"}},
        {"/site/", "http://h.example/a.png", {}},
    };
    for (const auto& [folder, written, paths] : rows)
        EXPECT_EQ(candidatePaths(folder, imageSource(written)), paths) << folder << " " << written;
}

} // namespace
} // namespace bw
