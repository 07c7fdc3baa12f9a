// An image's context: its link, its figure's caption and the text around it, as a reader meets them.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "page/PageEncoding.h"
#include "text/Encoding.h"
#include "page/ImageContext.h"
#include "page/GumboImages.h"

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
        {"\xEF\xBB\xBF" "Caf&eacute; &#x263A;<img>", 0, "-", "", false, "", "Caf\xc3\xa9 \xe2\x98\xba", ""}, // the mark is no text
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

// Read one image at a time, in any order, the context is what reading the whole page gives: the
// walk must go on to the end of the image's link and figure and read enough text either side,
// however far whitespace, references and markup stretch it.
TEST(ImageContext, OneImageAtATimeReadsAsTheWholePage)
{
    const std::string spaces(5000, ' '), words(3000, 'w'), refs = [] { std::string s; for (int i = 0; i < 900; ++i) s += "&amp;&#233; "; return s; }();
    std::vector<std::string> pages = {
        "<a href=x>" + words + "<img alt=1>" + words + "<p>" + words + "<img alt=2></a><figure><img><p>" + spaces + "</figure>",
        "<figure><img><p>" + words + "<p>" + words + "<figcaption>late " + refs + "</figcaption></figure><img>",
        "text" + spaces + spaces + "<img>" + spaces + spaces + "more<img>" + refs + "<img>" + refs,
        "<p>" + refs + refs + "<img>" + refs + "<noscript>" + words + "</noscript><template>" + words + "</template>end",
        "<a href=a><div>1<div>2<div>3<div>4<div>5<div>6<div>7<div>8<div>9<img></a><img>" + words + "</div><img>",
        "<meta charset=windows-1252>" + std::string(3000, '\xe9') + "<img>" + std::string(900, '\xe9') + " \x81<img>",
        "<meta charset=iso-2022-jp><p>\x1b$B$3<b>" + [] { std::string s; for (int i = 0; i < 2000; ++i) s += "$3"; return s; }() + "<img>\x1b(B" + words,
        "<img><img>" + spaces + "<body background=b.gif><img>",
    };
    std::mt19937 rng(7);
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        pages.push_back(test::makeStructurePage(seed));
        pages.push_back(test::makeTestPage(seed));
        std::string joined; // structure pages with long stretches between them
        for (int part = 0; part < 6; ++part)
            joined += test::makeStructurePage(seed * 8 + part) + std::string(rng() % 1200, "  w&amp;\xc3\xa9<b>"[rng() % 6]);
        pages.push_back(joined);
    }
    auto fields = [](const ImageContext& c) { return std::tie(c.linkHref, c.linkText, c.inFigure, c.caption, c.before, c.after); };
    for (const std::string& page : pages) {
        SCOPED_TRACE(::testing::PrintToString(page));
        const auto text = std::make_shared<const std::string>(page);
        const FoundImages found = findImages(page);
        const std::vector<ImageContext> whole = imageContexts(page, found, pageEncoding(page));
        ContextReader forward(text, found, pageEncoding(page)), backward(text, found, pageEncoding(page));
        for (size_t i = 0; i < whole.size(); ++i) {
            const size_t back = whole.size() - 1 - i;
            EXPECT_EQ(fields(ContextReader(text, found, pageEncoding(page)).contextOf(i)), fields(whole[i])) << "alone, image " << i;
            EXPECT_EQ(fields(forward.contextOf(i)), fields(whole[i])) << "forward, image " << i;
            EXPECT_EQ(fields(backward.contextOf(back)), fields(whole[back])) << "backward, image " << back;
        }
    }
}

} // namespace
} // namespace bw
