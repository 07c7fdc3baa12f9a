// An image's context: its link, its figure's caption and the text around it, as a reader meets them.
#include <gtest/gtest.h>

#include <tuple>

#include "page/PageEncoding.h"
#include "text/Encoding.h"
#include "page/ImageContext.h"

namespace bw {
namespace {

TEST(ImageContext, LinksCaptionsAndTextAroundEachImage)
{
    const std::string words = "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor incididunt ut labore",
                      e300 = [] { std::string s; while (s.size() < 600) s += "\xc3\xa9"; return s; }(); // 300 characters, no space
    const struct { // href "-": in no link
        std::string page;
        size_t image;
        std::string href, linkText;
        bool inFigure;
        std::string caption, before, after;
    } rows[] = {
        {"<a href=\"a.html?x=1&amp;y=2\">Go <IMG alt=Home> <img alt=Other> <b>now</b></a> later", 0, "a.html?x=1&y=2", "Go Other now", false, "", "Go", "now later"},
        {"<a href=x>one<a href=y><img alt=y></a><img>", 1, "-", "", false, "", "one", ""},
        {"<a name=top><img></a>", 0, "-", "", false, "", "", ""},
        {"<div><a href=x>Home</div>\n<div><img alt=Home></div>", 0, "x", "", false, "", "Home", ""},
        {"<a href=x><img alt=Home><p>Home</a><img alt=Home>", 0, "x", "", false, "", "", "Home"},
        {"<div><a href=x>a</div><table><tr><td><img></td></tr></table><img>", 0, "-", "", false, "", "a", ""},
        {"<div><a href=x>a</div><table><tr><td><img></td></tr></table><img>", 1, "x", "", false, "", "a", ""},
        {"<figure><img alt=x><figcaption> The <b>garden</b>\n in <!-- June -->May </figcaption></figure>", 0, "-", "", true, "The garden in May", "", "The garden in May"},
        {"<figure><figcaption>Cap</figcaption><img></figure><img>", 1, "-", "", false, "", "Cap", ""},
        {"<div><figure><img></div><img>", 1, "-", "", false, "", "", ""},
        {"<p>x<figure><img></p><img>", 1, "-", "", true, "", "x", ""},
        {"<figure><div><figcaption>Not its caption</figcaption></div><img></figure>", 0, "-", "", true, "", "Not its caption", ""},
        {"<title>T</title><p>" + words + "</p><!-- c --><script>s</script>&eacute;t&eacute;&nbsp;<img><p>A &amp; B &copy2024", 0, "-", "", false, "",
         "ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor incididunt ut labore \xc3\xa9t\xc3\xa9\xc2\xa0", "A & B \xc2\xa9" "2024"},
        {e300 + "<img>" + e300, 0, "-", "", false, "", e300.substr(0, 200), e300.substr(0, 200)},
        {"<meta charset=windows-1252><p>caf\xe9\x01 <img> <b>Hel</b>lo</p><p>next", 0, "-", "", false, "", "caf\xc3\xa9", "Hello next"},
        {"<body background=b.gif>text<img>", 0, "-", "", false, "", "", ""},
        {"<body background=b.gif>text<noscript>hidden</noscript><template>too</template><img>", 1, "-", "", false, "", "text", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.page) + " image " + std::to_string(row.image));
        const FoundImages found = findImages(row.page);
        const std::vector<ImageContext> contexts = imageContexts(row.page, found, pageEncoding(row.page));
        ASSERT_EQ(contexts.size(), found.images.size());
        const ImageContext& c = contexts[row.image];
        EXPECT_EQ(std::tie(c.linkText, c.inFigure, c.caption, c.before, c.after), std::tie(row.linkText, row.inFigure, row.caption, row.before, row.after));
        EXPECT_EQ(c.linkHref.value_or("-"), row.href);
    }
}

} // namespace
} // namespace bw
