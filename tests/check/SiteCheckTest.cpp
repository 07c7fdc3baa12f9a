// The site check on pages and folders in a temp folder: its lines and its exit status.
#include <gtest/gtest.h>

#include "check/SiteCheck.h"
#include "support/Doubles.h"

namespace bw {
namespace {

TEST(SiteCheck, ReportsEachFindingWhereItsTagStandsAndExitsAsCiExpects)
{
    test::TempDir site;
    site.write("index.html", "<html>\r\n<body background=bg.gif>\n  <img src=\"logo.png\"> <IMG SRC=a.gif ALT=\"\">\n"
                             "<img src=\"caf%C3%A9.jpg\" alt=\"caf\xe9.jpg\"><meta charset=iso-8859-1>");
    site.write("sub/b.HTM", "<p>a</p><input type=image src=go.png alt=\"Image of &quot;Go&quot;\"><img src=x.gif alt=\"   \">");
    site.write("sub/c.xhtml", "<img src=ok.png alt=\"A yellow sun\">" + std::string(160, 'x'));
    site.write("sub/notes.txt", "<img src=not-a-page.png>");
    site.write("sub/d.shtml", "<img src=d.png alt=\"" + std::string(151, 'd') + "\">");
    site.write("bin.html", std::string("<img src=z.png>\0", 16));
    const std::string index = site.path("index.html"), b = site.path("sub/b.HTM"), d = site.path("sub/d.shtml");
    const struct {
        std::vector<std::string> paths;
        std::string text;
        int status;
        size_t pages, images, errors;
    } rows[] = {
        {{site.path("sub/c.xhtml")}, "", 0, 1, 1, 0},
        {{d}, d + ":1:1: warning: The ALT text is over 150 characters; put a long description in the page. (d.png) [alt-too-long]\n", 1, 1, 1, 0},
        {{index},
         index + ":3:3: error: The image has no ALT text; give it one, or alt=\"\" if it is decorative. (logo.png) [missing-alt]\n" +
             index + ":4:1: error: The ALT text is a file name; say what the picture shows or does. (caf%C3%A9.jpg) [alt-is-filename]\n",
         1, 1, 3, 0},
        {{site.path("sub")},
         b + ":1:9: error: Screen readers already say it is an image; leave out \"image of\". (go.png) [alt-image-of]\n" + b +
             ":1:68: error: The ALT text is only spaces; a screen reader says nothing useful. (x.gif) [alt-whitespace]\n" +
             d + ":1:1: warning: The ALT text is over 150 characters; put a long description in the page. (d.png) [alt-too-long]\n",
         1, 3, 4, 0},
        {{site.path("sub/c.xhtml"), site.path("bin.html"), site.path("gone.html"), "/dev/zero"}, "", 2, 1, 1, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.paths.front());
        const CheckReport report = checkSite(row.paths);
        EXPECT_EQ(textLines(report.findings), row.text);
        EXPECT_EQ(checkStatus(report), row.status);
        EXPECT_EQ(report.pages, row.pages);
        EXPECT_EQ(report.images, row.images);
        EXPECT_EQ(report.errors.size(), row.errors);
    }
}

// JSON of any bytes stays a JSON document: quotes, controls and what is not UTF-8 escaped.
TEST(SiteCheck, JsonHoldsEveryFindingAndTheTotals)
{
    test::TempDir site;
    const std::string page = site.write("a\"\xff.html", "<img src=\"t\\ab.png\"><img src=x.png alt=\"Image of \x01 \xe9\">");
    std::string json;
    CheckPrinter printer("json", [&](std::string_view text) { json += text; });
    printer.end(checkSite({page}, [&](const PageCheck& p) { printer.page(p); }));
    const std::string file = "\"" + site.path("a\\\"\\ufffd.html") + "\"";
    EXPECT_EQ(json, "{\"findings\": [\n{\"file\": " + file + ", \"line\": 1, \"column\": 1, \"rule\": \"missing-alt\", \"severity\": \"error\", "
                    "\"message\": \"The image has no ALT text; give it one, or alt=\\\"\\\" if it is decorative.\", \"src\": \"t\\\\ab.png\", \"alt\": null},\n"
                    "{\"file\": " + file + ", \"line\": 1, \"column\": 21, \"rule\": \"alt-image-of\", \"severity\": \"error\", \"message\": "
                    "\"Screen readers already say it is an image; leave out \\\"image of\\\".\", \"src\": \"x.png\", \"alt\": \"Image of \\u0001 \xc3\xa9\"}\n"
                    "], \"pages\": 1, \"images\": 2}\n");
}

} // namespace
} // namespace bw
