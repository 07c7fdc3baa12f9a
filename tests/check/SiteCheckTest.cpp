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

// A baseline accepts each finding it holds as often as it holds it, wherever it moved; new ones fail.
TEST(SiteCheck, ABaselineLetsOnlyNewFindingsFail)
{
    test::TempDir site;
    const std::string page = site.write("p.html", "<img src=a.png><img src=a.png><img src=b.png alt=\"pic\t.png\">");
    std::string lines;
    checkSite({page}, [&](const PageCheck& p) {
        for (const CheckFinding& f : p.findings)
            lines += CheckBaseline::lineOf(f);
    });
    EXPECT_EQ(lines, page + "\tmissing-alt\ta.png\t\x01\n" + page + "\tmissing-alt\ta.png\t\x01\n" + page + "\talt-is-filename\tb.png\tpic\\t.png\n");
    std::string error;
    EXPECT_FALSE(CheckBaseline::read(site.path("none"), error)) << "no baseline";
    EXPECT_NE(error.find("cannot be read"), std::string::npos);
    const std::string accepted = site.write("baseline", lines.substr(lines.find('\n') + 1)); // one of the two a.png
    for (const char* edited : {"<p>moved</p>\n<img src=a.png><img src=b.png alt=\"pic\t.png\">", "<img src=a.png><img src=a.png><img src=b.png alt=\"pic\t.png\">"}) {
        site.write("p.html", edited);
        std::optional<CheckBaseline> baseline = CheckBaseline::read(accepted, error);
        const CheckReport report = checkSite({page}, {}, &*baseline);
        EXPECT_EQ(checkStatus(report), report.findings.empty() ? 0 : 1) << edited;
        EXPECT_EQ(report.findings.size(), edited[1] == 'p' ? 0u : 1u) << edited;
    }
}

// SARIF for code-scanning services and JUnit for test reports, each with what its readers look for.
TEST(SiteCheck, SarifAndJunitCarryTheFindingsWhereTheirReadersLook)
{
    test::TempDir site;
    const std::string bad = site.write("my page.html", "<p>\n <img src=a.png alt=\"Photo\"><img src=b.png alt=\"" + std::string(151, 'b') + "\">"),
                      good = site.write("ok.html", "<img src=a.png alt=\"A map of the garden\">");
    const std::pair<const char*, std::vector<std::string>> rows[] = {
        {"sarif", {"{\"version\": \"2.1.0\", \"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\", \"runs\": [{\"tool\": {\"driver\": {\"name\": \"brindlework\", \"rules\": [\n{\"id\": \"missing-alt\"",
                   "{\"id\": \"alt-too-long\", \"shortDescription\": {\"text\": \"The ALT text is over 150 characters; put a long description in the page.\"}, \"defaultConfiguration\": {\"level\": \"warning\"}}",
                   "{\"ruleId\": \"alt-placeholder\", \"level\": \"error\", \"message\": {\"text\": \"The ALT text is a placeholder word; say what the picture shows or does. (a.png)\"}, \"locations\": [{\"physicalLocation\": {\"artifactLocation\": {\"uri\": \"" +
                       site.path("my%20page.html") + "\"}, \"region\": {\"startLine\": 2, \"startColumn\": 2}}}]},\n{\"ruleId\": \"alt-too-long\", \"level\": \"warning\"",
                   "]}]}\n"}},
        {"junit", {"<testsuite name=\"brindlework check\" tests=\"2\" failures=\"1\" errors=\"0\">\n<testcase classname=\"brindlework.check\" name=\"" + bad +
                       "\"><failure message=\"images whose ALT is missing or poor\">" + bad + ":2:2: error: The ALT text is a placeholder word; say what the picture shows or does. (a.png) [alt-placeholder]\n</failure></testcase>\n"
                       "<testcase classname=\"brindlework.check\" name=\"" + good + "\"/>\n</testsuite>\n</testsuites>\n"}},
    };
    for (const auto& [format, parts] : rows) {
        std::string out;
        CheckPrinter printer(format, [&](std::string_view text) { out += text; });
        printer.end(checkSite({site.path()}, [&](const PageCheck& p) { printer.page(p); }));
        for (const std::string& part : parts)
            EXPECT_NE(out.find(part), std::string::npos) << format << ": " << part << "\nin\n" << out;
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
