// The site check on the sample site and on pages in a temp folder: its findings in every
// format, and its exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <gumbo.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <numeric>
#include <tuple>

#include "check/PictureTexts.h"
#include "check/SiteCheck.h"
#include "support/AttributeValues.h"
#include "support/Doubles.h"

namespace bw {
namespace {

const std::string kSample = std::string(BW_SOURCE_DIR) + "/examples/check";

TEST(SiteCheck, ReportsEachFindingWhereItsTagStandsAndExitsAsCiExpects)
{
    test::TempDir site;
    site.write("index.html", "<html>\r\n<body background=bg.gif>\n  <img src=\"logo.png\"> <IMG SRC=a.gif ALT=\"\">\n"
                             "<img src=\"caf%C3%A9.jpg\" alt=\"caf\xe9.jpg\"><meta charset=iso-8859-1><img src=\"\xc3\xa9.gif\">");
    site.write("sub/b.HTM", "<p>a</p><input type=image src=go.png alt=\"Image of &quot;Go&quot;\"><img src=x.gif alt=\"   \">");
    site.write("sub/c.xhtml", "<img src=ok.png alt=\"A yellow sun\">" + std::string(160, 'x'));
    site.write("sub/notes.txt", "<img src=not-a-page.png>");
    site.write("sub/d.shtml", "<img src=d.png alt=\"" + std::string(151, 'd') + "\">");
    site.write("bin.html", std::string("<img src=z.png>\0", 16));
    site.write("odd16.html", std::string("\xFF\xFE<\0i\0m\0g\0\0\xDC", 12)); // a lone low surrogate
    std::string big16 = "\xFE\xFF";
    for (const char c : std::string_view("<p>\n<img src=\"\xC3\xA9.png\">")) // BE: é is 00 E9
        big16 += c == '\xC3' ? std::string("\0", 1) : c == '\xA9' ? std::string("\xE9") : std::string{'\0', c};
    const std::string utf16 = site.write("utf16.html", big16);
    // p/a.png on two pages, p/b.png on one: the ALTs of one page alone never conflict, nor those of links.
    site.write("c/one.html", "<img src=../p/a.png alt=\"A cat\"><img src=\"../p/a.png\" alt=\" a  CAT\"><area href=x alt=Start>"
                             "<img src=/p/b.png alt=\"A fox\"><img src=/p/b.png alt=\"A cow\">");
    site.write("c/two/two.html", "<base href=\"../../p/\">\n<a href=../x.html>A dog<img src=a.png alt=\"A dog\"></a><area href=../c/x alt=Home>");
    site.write("n/line\nbreak\\\x7f.html", "<img src=\"x\n.png\">");
    // Named otherwise than by an ALT, or not at all: images, and elements that say they are images.
    const std::string named = site.write("named.html", "<img src=a.png aria-label=\"Sun\">\n<img src=b.png aria-labelledby=cap title=Sun>\n"
        "<img src=c.png title=\"Sun\">\n<img src=d.png aria-label=\" \" title=\"\">\n<svg role=img><desc>a</desc><title>Sun</title></svg>\n"
        "<svg role=\"IMG graphics-document\"><desc>a</desc></svg><svg><title>Not its own</title></svg>\n<svg role=img aria-label=\"Sun\"/><svg role=img><title> </title></svg>\n"
        "<p><span role=img>\xf0\x9f\x8e\x89</span> <div role=img title=Chart></div><span role=\"presentation img\"></span>\n"
        "<a href=x role=img aria-label=Go><img src=e.png alt=Go> Go</a>");
    const std::string index = site.path("index.html"), b = site.path("sub/b.HTM"), d = site.path("sub/d.shtml");
    const std::string one = site.path("c/one.html"), two = site.path("c/two/two.html"), note = ": note: This picture has different ALT texts on different pages. (";
    const auto sample = [](const std::string& line) { return kSample + "/" + line + "\n"; };
    const struct {
        std::vector<std::string> paths;
        std::string text;
        int status;
        size_t pages, images, errors;
    } rows[] = {
        {{site.path("sub/c.xhtml")}, "", 0, 1, 1, 0},
        {{site.path("n")}, site.path("n/line\\nbreak\\\\\\x7f.html") + ":1:1: error: The image has no ALT text; give it one, or alt=\"\" if it is decorative. (x .png) [missing-alt]\n", 1, 1, 1, 0},
        {{named},
         named + ":1:1: warning: The image is named by aria-label alone, which some tools do not read; give it an ALT text. (a.png) [alt-aria-label-only]\n" +
             named + ":2:1: warning: The image is named by aria-labelledby alone, which some tools do not read; give it an ALT text. (b.png) [alt-aria-labelledby-only]\n" +
             named + ":3:1: error: The image has no ALT text, only a title, which is not a text alternative; give it an ALT, or alt=\"\" if it is decorative. (c.png) [missing-alt-titled]\n" +
             named + ":4:1: error: The image has no ALT text; give it one, or alt=\"\" if it is decorative. (d.png) [missing-alt]\n" +
             named + ":6:1: error: The svg with role=\"img\" has no accessible name; give it a <title>, an aria-label or an aria-labelledby. (<svg>) [svg-img-alt]\n" +
             named + ":7:33: error: The svg with role=\"img\" has no accessible name; give it a <title>, an aria-label or an aria-labelledby. (<svg>) [svg-img-alt]\n" +
             named + ":8:4: error: The element with role=\"img\" has no accessible name; give it an aria-label or an aria-labelledby. (<span>) [role-img-alt]\n" +
             named + ":9:34: error: The ALT text repeats the link's text; a reader hears it twice. (e.png) [alt-redundant-link]\n",
         1, 1, 5, 0},
        {{d}, d + ":1:1: warning: The ALT text is over 150 characters; put a long description in the page. (d.png) [alt-too-long]\n", 1, 1, 1, 0},
        {{index},
         index + ":3:3: error: The image has no ALT text; give it one, or alt=\"\" if it is decorative. (logo.png) [missing-alt]\n" +
             index + ":4:1: error: The ALT text is a file name; say what the picture shows or does. (caf%C3%A9.jpg) [alt-is-filename]\n" +
             index + ":4:66: error: The image has no ALT text; give it one, or alt=\"\" if it is decorative. (\xc3\x83\xc2\xa9.gif) [missing-alt]\n",
         1, 1, 4, 0},
        {{site.path("sub")},
         b + ":1:9: error: Screen readers already say it is an image; leave out \"image of\". (go.png) [alt-image-of]\n" + b +
             ":1:68: error: The ALT text is only spaces; a screen reader says nothing useful. (x.gif) [alt-whitespace]\n" +
             d + ":1:1: warning: The ALT text is over 150 characters; put a long description in the page. (d.png) [alt-too-long]\n",
         1, 3, 4, 0},
        {{site.path("sub/c.xhtml"), site.path("bin.html"), site.path("odd16.html"), site.path("gone.html"), "/dev/zero"}, "", 2, 1, 1, 4},
        {{utf16}, utf16 + ":2:1: error: The image has no ALT text; give it one, or alt=\"\" if it is decorative. (\xC3\xA9.png) [missing-alt]\n", 1, 1, 1, 0},
        {{site.path("c")},
         two + ":2:24: error: The ALT text repeats the link's text; a reader hears it twice. (a.png) [alt-redundant-link]\n" + one + ":1:1" + note +
             "../p/a.png, ALT \"A cat\") [alt-conflict]\n" + two + ":2:24" + note + "a.png, ALT \"A dog\") [alt-conflict]\n",
         1, 2, 7, 0},
        {{kSample},
         sample("garden.html:11:3: error: The ALT text repeats the caption; a reader hears it twice. (img/harbour.jpg) [alt-redundant-caption]") +
             sample("garden.html:19:3: note: The image has no ALT text, but its figure has a caption; give it an ALT unless the caption says what it shows. (img/chart.gif) [missing-alt-captioned]") +
             sample("garden.html:22:4: error: The ALT text is a placeholder word; say what the picture shows or does. (img/can.png) [alt-placeholder]") +
             sample("garden.html:23:57: error: The ALT text is only spaces; a screen reader says nothing useful. (img/go.png) [alt-whitespace]") +
             sample("index.html:13:4: error: The image has no ALT text; give it one, or alt=\"\" if it is decorative. (img/sun.gif) [missing-alt]") +
             sample("index.html:14:24: error: The ALT text repeats the link's text; a reader hears it twice. (img/go.png) [alt-redundant-link]") +
             sample("index.html:17:4: error: The ALT text is a file name; say what the picture shows or does. (img/boat.jpg) [alt-is-filename]") +
             sample("news/harbour.html:11:4: error: Screen readers already say it is an image; leave out \"image of\". (../img/tree.jpg) [alt-image-of]") +
             sample("news/harbour.html:12:4: warning: The ALT text is over 150 characters; put a long description in the page. (../img/cup.gif) [alt-too-long]") +
             sample("news/harbour.html:13:51: error: The image has no ALT text; give it one, or alt=\"\" if it is decorative. (https://example.com/map.png) [missing-alt]") +
             sample("index.html:15:25" + note + "img/house.gif, ALT \"Our shop in Orchard Lane\") [alt-conflict]") +
             sample("news/harbour.html:10:4" + note + "../img/house.gif, ALT \"The shop\") [alt-conflict]"),
         1, 3, 18, 0},
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
    (void)checkSite({page}, [&](const PageCheck& p) { // the lines are what is checked here
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

// A page with more findings than a part holds comes in parts, in page order, its images all
// counted and each image's caption read however many images wait for it; junit makes it one case.
TEST(SiteCheck, AHugePageComesInPartsInPageOrder)
{
    test::TempDir site;
    std::string many = "<figure>";
    for (int i = 0; i < 9000; ++i)
        many += "<img src=m.png>\n";
    const std::string page = site.write("many.html", many + "<figcaption>Sea</figcaption></figure>\n"
                                                      "<a href=x><img src=l.png alt=Link><img src=n.png aria-label=N> LINK</a><span role=img></span>");
    std::vector<std::string> rules;
    std::string junit, html;
    CheckPrinter junitPrinter("junit", [&](std::string_view s) { junit += s; }), htmlPrinter("html", [&](std::string_view s) { html += s; });
    const CheckReport report = checkSite({page}, [&](const PageCheck& part) {
        for (const CheckFinding& f : part.findings)
            rules.push_back(f.rule->id);
        junitPrinter.page(part);
        htmlPrinter.page(part);
    });
    junitPrinter.end(report);
    htmlPrinter.end(report);
    EXPECT_EQ(report.images, 9002u);
    EXPECT_EQ(std::count(rules.begin(), rules.end(), "missing-alt-captioned"), 9000);
    EXPECT_EQ(std::vector(rules.end() - 3, rules.end()), (std::vector<std::string>{"alt-redundant-link", "alt-aria-label-only", "role-img-alt"}));
    EXPECT_EQ(junit.find("<testcase"), junit.rfind("<testcase"));
    EXPECT_NE(html.find("<td class=\"n\">9002</td>"), std::string::npos);
}

// Many pictures, each given two ALTs on two pages: each ALT of each is one conflict, however
// many pictures are held meanwhile.
TEST(SiteCheck, EveryPictureOfAManyIsHeldForItsConflicts)
{
    test::TempDir site;
    std::string red, blue;
    for (int i = 0; i < 100; ++i) {
        red += "<img src=p" + std::to_string(i) + ".png alt=\"Red\">";
        blue += "<img src=p" + std::to_string(i) + ".png alt=\"Blue\">";
    }
    site.write("a.html", red), site.write("b.html", blue);
    const std::vector<CheckFinding> findings = checkSite({site.path()}).findings;
    EXPECT_EQ(std::count_if(findings.begin(), findings.end(), [](const CheckFinding& f) { return std::string_view(f.rule->id) == "alt-conflict"; }), 200);
}

// Takes a picture's text from its bytes ("text:Buy now"), counting its readings.
struct FakeReader final : PictureReader {
    explicit FakeReader(std::atomic<int>& reads) : reads(reads) {}
    std::string unavailable() const override { return {}; }
    Result read(std::string_view bytes, const std::atomic<bool>*) override
    {
        return ++reads, bytes.starts_with("text:") ? Result{Outcome::Text, std::string(bytes.substr(5)), 90, {}} : Result{};
    }
    std::atomic<int>& reads;
};

// Read pictures warn where a non-empty ALT leaves out their text; each picture is read once
// whatever its names, and only where it is a file.
TEST(SiteCheck, ReadsEachPictureOnceAndWarnsWhereTheAltLeavesOutItsText)
{
    test::TempDir site;
    for (const auto& [name, bytes] : std::map<std::string, std::string>{{"img/buy.gif", "text:Buy now"}, {"a/copy.gif", "text:Buy now"},
             {"b/c/other.png", "text:Buy now"}, {"img/photo.jpg", "a photo"}, {"x/logo.gif", "text:Shop"}, {"y/logo.gif", "text:Caf\xC3\xA9"}})
        site.write(name, bytes);
    const std::string page = site.write("p.html", "<img src=img/buy.gif alt=\"Buy it\">\n<img src=a/copy.gif alt=\"BUY  now!\"><img src=img/buy.gif alt=\"\">"
        "<img src=img/buy.gif><img src=img/photo.jpg alt=\"A dog\"><img src=http://example.com/img/buy.gif alt=\"Buy it\"><img src=gone.gif alt=Go>\n"
        "<img src=x/logo.gif alt=\"Our logo\"><img src=/y/logo.gif alt=\"Our logo\"><img src=b/c/other.png alt=Buy><img src=pipe.gif alt=\"A pipe\">");
    ASSERT_EQ(::mkfifo(site.path("pipe.gif").c_str(), 0600), 0); // never read: it would never end
    const auto misses = [&](const std::string& at, const std::string& src, const std::string& text) {
        return page + ":" + at + ": warning: The picture shows text that its ALT text leaves out; a picture of text needs that text. (" + src +
               ", the picture reads \"" + text + "\") [alt-misses-picture-text]\n";
    };
    for (int i = 0; i < 200; ++i) // 2,000 pages sharing 200 pictures
        site.write("shared/p" + std::to_string(i) + ".png", "text:Word " + std::to_string(i));
    for (int i = 0; i < 2000; ++i)
        site.write("shared/page" + std::to_string(i) + ".html", "<img src=p" + std::to_string(i * 7 % 200) + ".png alt=Word>");
    // A path; the findings as text (when given), how many, and the pictures read.
    const std::tuple<std::string, std::string, size_t, int> rows[] = {
        {page, misses("1:1", "img/buy.gif", "Buy now") + page + ":2:65: error: The image has no ALT text; give it one, or alt=\"\" if it is decorative. "
               "(img/buy.gif) [missing-alt]\n" + misses("3:1", "x/logo.gif", "Shop") + misses("3:36", "/y/logo.gif", "Caf\xC3\xA9") +
               misses("3:72", "b/c/other.png", "Buy now"), 5, 4},
        {site.path("shared"), "", 2000, 200},
    };
    for (const auto& [path, text, findings, read] : rows) {
        std::atomic<int> reads = 0;
        PictureTexts pictures([&] { return std::make_unique<FakeReader>(reads); });
        const CheckReport report = checkSite({path}, {}, nullptr, &pictures);
        EXPECT_EQ(std::tuple(report.findings.size(), int(reads)), std::tuple(findings, read));
        EXPECT_TRUE(text.empty() || textLines(report.findings) == text) << textLines(report.findings);
    }
    // Checked from its own folder as "./p.html", the page finds its pictures just the same.
    ASSERT_EQ(::chdir(site.path("").c_str()), 0);
    std::atomic<int> reads = 0;
    PictureTexts pictures([&] { return std::make_unique<FakeReader>(reads); });
    EXPECT_EQ(checkSite({"./p.html"}, {}, nullptr, &pictures).findings.size(), 5u);
    ASSERT_EQ(::chdir("/"), 0);
}

std::string textOf(const GumboNode* node)
{
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE)
        return node->v.text.text;
    std::string text;
    for (unsigned i = 0; node->type == GUMBO_NODE_ELEMENT && node->v.element.tag != GUMBO_TAG_STYLE && i < node->v.element.children.length; ++i)
        text += textOf(static_cast<const GumboNode*>(node->v.element.children.data[i]));
    return text;
}

// The HTML report as a browser reads it: the cells of its findings' rows and of its pages' rows,
// the links of each page's row, and the text of each element a link can name.
struct HtmlReport {
    std::vector<std::vector<std::string>> rows, pages, links;
    std::map<std::string, std::string> named;
};

HtmlReport readReport(const std::string& html)
{
    HtmlReport report;
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
    // In: 0 nothing read, 1 a table of findings, 2 the table of pages.
    std::function<void(const GumboNode*, int)> walk = [&](const GumboNode* node, int in) {
        if (node->type == GUMBO_NODE_TEXT && in == 1)
            report.rows.push_back({"text out of a cell", node->v.text.text}); // to fail
        if (node->type != GUMBO_NODE_ELEMENT)
            return;
        const GumboElement& element = node->v.element;
        const auto attribute = [&](const char* name) {
            const GumboAttribute* a = gumbo_get_attribute(&element.attributes, name);
            return std::string(a ? a->value : "");
        };
        if (!attribute("id").empty())
            report.named[attribute("id")] = textOf(node);
        if (!attribute("href").empty() && in == 2)
            report.links.back().push_back(attribute("href"));
        if (element.tag == GUMBO_TAG_THEAD)
            return;
        in = element.tag == GUMBO_TAG_TABLE && attribute("class") == "rows" ? 1 : attribute("id") == "pages" ? 2 : in;
        if (element.tag == GUMBO_TAG_TR && in)
            (in == 1 ? report.rows : (report.links.emplace_back(), report.pages)).emplace_back();
        if (element.tag == GUMBO_TAG_TD && in)
            (in == 1 ? report.rows : report.pages).back().push_back(textOf(node));
        for (unsigned i = 0; i < element.children.length; ++i)
            walk(static_cast<const GumboNode*>(element.children.data[i]), element.tag == GUMBO_TAG_TD && in == 1 ? 0 : in);
    };
    walk(output->root, 0);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return report;
}

// A name's bytes back from JSON, as Python's os.fsencode gives them: U+DC80 to U+DCFF are bytes.
std::string fileBytes(const QString& name)
{
    std::string bytes;
    for (qsizetype i = 0, run = 0; i <= name.size(); ++i)
        if (i == name.size() || (name[i].unicode() >= 0xDC80 && name[i].unicode() <= 0xDCFF)) {
            bytes += name.mid(run, i - run).toStdString();
            if (i < name.size())
                bytes += static_cast<char>(name[i].unicode() - 0xDC00);
            run = i + 1;
        }
    return bytes;
}

// Every format carries the findings the text format pins, where its readers look: parsed back
// as JSON, SARIF 2.1.0, JUnit XML and HTML, whatever bytes page names and ALTs hold.
TEST(SiteCheck, EveryFormatCarriesTheSameFindings)
{
    test::TempDir site;
    const std::string odd = site.write("a<b&\"c\x01\xff.html", "<img src=\"t\\a&lt;b.png\"><p><img src=x.png alt=\"Image of \x02 <b> &amp; &quot;q&quot; \xe9\">");
    site.write("x.png", "<svg> in a file named as a PNG: shown by its bytes");
    site.write("big.png", "\x89PNG\r\n\x1A\n" + std::string(256 * 1024, 'x'));
    const std::string big = site.write("big.html", "<img src=big.png>"), clean = site.write("clean.html", "<img src=fox.png alt=\"A fox\">");
    const std::string calm = site.write("calm.html", "<img src=sea.png alt=\"A calm sea\">"); // no findings: counted, not listed
    site.write("fox.png", "text:Two \"foxes\""); // read by the fake reader: a warning that carries the text read
    std::atomic<int> reads = 0;
    PictureTexts pictures([&] { return std::make_unique<FakeReader>(reads); });
    // Character references read as the box reads them, in every format.
    std::string references, previewed;
    std::vector<std::string> decoded;
    for (const test::AttributeValue& value : test::kAttributeValues) {
        references += "<img src=r.png alt=\"Image of " + value.written + "\">";
        decoded.push_back("Image of " + value.inAttribute);
        if (const size_t c1 = decoded.back().find("\xC2\x81"); c1 != std::string::npos)
            decoded.back().replace(c1, 2, "\xEF\xBF\xBD"); // the report shows no C1 control
        previewed += '-';
    }
    const std::string named = site.write("references.html", references);
    // Paths; for each finding "+" when the HTML shows the picture; the ALTs as it shows them, if not as they are; the pictures read.
    const std::tuple<std::vector<std::string>, std::string, std::vector<std::string>, PictureTexts*> rows[] = {
        {{kSample}, "+++++++++-++", {}, nullptr},
        {{odd, big, clean, calm}, "-+--", {"none", "Image of \xe2\x90\x82 <b> & \"q\" \xc3\xa9", "none", "A fox"}, &pictures},
        {{named}, previewed, decoded, nullptr},
    };
    for (const auto& [paths, previews, alts, read] : rows) {
        SCOPED_TRACE(paths.front());
        const std::vector<CheckFinding> findings = checkSite(paths, {}, nullptr, read).findings;
        std::map<std::string, std::string> out;
        for (const char* format : {"json", "sarif", "junit", "html"}) {
            CheckPrinter printer(format, [&](std::string_view text) { out[format] += text; });
            printer.end(checkSite(paths, [&](const PageCheck& p) { printer.page(p); }, nullptr, read));
        }
        const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(out["json"])).object(),
                          sarif = QJsonDocument::fromJson(QByteArray::fromStdString(out["sarif"])).object(),
                          driver = sarif["runs"][0]["tool"]["driver"].toObject();
        EXPECT_EQ(sarif["version"].toString() + " " + sarif["$schema"].toString() + " " + driver["name"].toString(),
                  "2.1.0 https://json.schemastore.org/sarif-2.1.0.json brindlework");
        ASSERT_EQ(driver["rules"].toArray().size(), qsizetype(altRules().size()));
        for (size_t r = 0; r < altRules().size(); ++r)
            EXPECT_EQ(driver["rules"][r]["id"], altRules()[r].id);
        const QJsonArray objects = json["findings"].toArray(), results = sarif["runs"][0]["results"].toArray();
        HtmlReport html = readReport(out["html"]);
        const std::vector<std::vector<std::string>>& cells = html.rows;
        const auto n = findings.size();
        // The HTML groups the findings by rule: where each one's row stands.
        std::vector<size_t> byRule(n), rowOf(n);
        std::iota(byRule.begin(), byRule.end(), 0);
        std::stable_sort(byRule.begin(), byRule.end(), [&](size_t a, size_t b) { return findings[a].rule < findings[b].rule; });
        for (size_t k = 0; k < n; ++k)
            rowOf[byRule[k]] = k;
        ASSERT_EQ(std::tuple(size_t(objects.size()), size_t(results.size()), cells.size()), std::tuple(n, n, n)) << ::testing::PrintToString(cells);
        EXPECT_EQ(json["pages"].toInt() * 100 + json["images"].toInt(), paths[0] == odd ? 405 : paths[0] == named ? 100 + n : 318);
        for (size_t i = 0; i < findings.size(); ++i) {
            const CheckFinding& f = findings[i];
            const QJsonObject o = objects[i].toObject(), r = results[i].toObject();
            const QString severity = f.rule->severity == Severity::Error ? "error" : f.rule->severity == Severity::Warning ? "warning" : "note";
            const QJsonObject region{{"startLine", qint64(f.line)}, {"startColumn", qint64(f.column)}};
            EXPECT_EQ(fileBytes(o["file"].toString()), f.file());
            QJsonObject expected{{"file", o["file"]}, {"line", qint64(f.line)}, {"column", qint64(f.column)}, {"rule", f.rule->id},
                                 {"severity", severity}, {"message", f.rule->message}, {"src", QString::fromUtf8(f.src)},
                                 {"alt", f.alt ? QJsonValue(QString::fromUtf8(*f.alt)) : QJsonValue()}};
            if (!f.pictureText.empty())
                expected["pictureText"] = QString::fromUtf8(f.pictureText);
            EXPECT_EQ(o, expected);
            EXPECT_EQ(r["properties"]["pictureText"].toString().toStdString(), f.pictureText);
            EXPECT_EQ(r["ruleId"].toString() + r["level"].toString(), f.rule->id + severity);
            EXPECT_TRUE(r["message"]["text"].toString().startsWith(f.rule->message));
            const QJsonObject location = r["locations"][0]["physicalLocation"].toObject();
            EXPECT_EQ(QByteArray::fromPercentEncoding(location["artifactLocation"]["uri"].toString().toUtf8()).toStdString(), "file://" + f.file());
            EXPECT_EQ(location["region"], region);
            // The HTML row: the picture's thumbnail (or none), its ALT, the rule, file:line:column.
            const std::vector<std::string>& row = cells[rowOf[i]];
            ASSERT_EQ(row.size(), 4u);
            EXPECT_EQ(row[1], alts.empty() ? f.alt.value_or("none") : alts[i]);
            EXPECT_NE(row[2].find(std::string("[") + f.rule->id + "]"), std::string::npos) << row[2];
            EXPECT_NE(row[2].find(f.pictureText), std::string::npos) << row[2];
            EXPECT_TRUE(row[3].ends_with(":" + std::to_string(f.line) + ":" + std::to_string(f.column))) << row[3];
            EXPECT_EQ(row[0].starts_with("no preview"), previews[i] == '-') << row[0];
            if (previews[i] == '+') {
                std::ifstream picture(f.picture(), std::ios::binary);
                const QByteArray bytes = QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(picture), {}));
                EXPECT_NE(out["html"].find(";base64," + bytes.toBase64().toStdString() + "\""), std::string::npos) << f.picture();
            }
        }
        EXPECT_EQ(out["html"].find_first_of(std::string("\x01\x02\xff", 3)), std::string::npos) << "control bytes and bytes not UTF-8";
        // A row for each page with findings, linked to its findings; the others only counted.
        std::map<std::string, size_t> perPage;
        for (const CheckFinding& f : findings)
            ++perPage[f.file()];
        ASSERT_EQ(html.pages.size(), perPage.size());
        size_t linked = 0; // findings the page rows' links lead to, by their counts
        for (size_t p = 0; p < html.pages.size(); ++p) {
            EXPECT_FALSE(html.links[p].empty()) << html.pages[p][0];
            for (const std::string& link : html.links[p])
                EXPECT_EQ(html.named[link.substr(1)], html.pages[p][0]) << link;
            const std::string& counts = html.pages[p].back();
            for (size_t at = counts.find('('); at != std::string::npos; at = counts.find('(', at + 1))
                linked += std::stoul(counts.substr(at + 1));
        }
        EXPECT_EQ(linked, n);
        EXPECT_NE(out["html"].find(">" + std::to_string(json["pages"].toInt() - perPage.size()) + " page"), std::string::npos);
        // JUnit: a test case per page, failed when the page has an error; XML holds no \x01.
        std::map<QString, bool> failed, cases;
        for (const CheckFinding& f : findings)
            failed[QString::fromUtf8(f.file()).remove(QChar(1))] |= f.rule->severity == Severity::Error;
        QXmlStreamReader junit(QByteArray::fromStdString(out["junit"]));
        for (QString name; !junit.atEnd();)
            if (junit.readNext() == QXmlStreamReader::StartElement && junit.name() != u"testsuite" && junit.name() != u"testsuites")
                cases[name = junit.name() == u"testcase" ? junit.attributes().value("name").toString() : name] |= junit.name() == u"failure";
        EXPECT_FALSE(junit.hasError()) << junit.errorString().toStdString();
        EXPECT_EQ(cases.size(), size_t(json["pages"].toInt())); // one a page, with findings or not
        for (const auto& [file, fails] : failed)
            EXPECT_EQ(cases[file], fails) << file.toStdString();
    }
}

} // namespace
} // namespace bw
