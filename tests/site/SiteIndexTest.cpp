// The site's pictures in a temp folder: one picture met under every name, the ALT offered for
// it, and that ALT written into the other pages and put back.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "page/PageEncoding.h"
#include "text/Encoding.h"
#include "site/SiteEdits.h"
#include "site/SiteIndex.h"
#include "site/SiteRoot.h"
#include "support/Doubles.h"

namespace bw {
namespace {

void indexed(SiteIndex& index, const test::TempDir& site)
{
    index.start({site.path("sub/../a.html")}, {site.path("sub"), site.path()});
    while (!index.progress().finished)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Rows run in order on one index; a row with a page first gives the index that page's new text.
TEST(SiteIndex, MeetsOnePictureUnderEveryNameAndOffersTheAltMostOtherPagesGive)
{
    test::TempDir site;
    site.write("img/a.png", test::kGif);
    site.write("a.html", "<img src=\"./x/../img/a.png\" alt=\"A red apple\">"); // named by the batch too
    site.write("sub/p1.html", "<img src=\"../img/a.png\" alt=\"A red apple\">");
    site.write("p2.html", "<img src=\"img/a.png\" alt=\"An apple\"><img src=\"./img/../img/a.png\" alt=\"An apple\" width=2><img src=img/a.png>");
    site.write("deep/x/p3.html", "<base href=\"../../img/\"><img src=\"a.png?v=2\" alt=\"A red apple\">");
    site.write("p4.htm", "<IMG SRC=\"IMG\\A.PNG\" ALT=\"An apple\">");
    for (const char* blank : {"sub/p5.html", "sub/p6.html"})
        site.write(blank, "<img src=\"/img/a.png\" alt=\"  \">");
    site.write("l.html", "<meta charset=iso-8859-1><img src=img/a.png alt=\"Pomme \xe9\">");
    site.write("remote.html", "<img src=\"http://example.com/img/a.png\" alt=R><img src=\"data:image/png;base64,AAAA\" alt=D>"
                              "<map><area href=img/a.png alt=Area></map><body background=img/a.png>");
    site.write("bin.html", std::string("<img src=img/a.png alt=Bin>\0", 28));
    site.write("notes.txt", "<img src=img/a.png alt=Notes>");
    RealFileSystem files;
    SiteIndex index(files);
    indexed(index, site);
    EXPECT_EQ(index.progress().total, 10u) << "each page once, pages only";
    EXPECT_EQ(index.usesOf(normalPath(site.path("img/a.png"))).size(), 10u);
    const struct {
        const char* page;
        std::string text, picture, open;
        std::optional<std::string> alt;
        size_t pages;
    } rows[] = {
        {nullptr, "", "img/a.png", "p2.html", "A red apple", 3},         // under every name it is written
        {nullptr, "", "img/a.png", "sub/p1.html", "A red apple", 2},     // not the open page's, nor blanks as often given
        {nullptr, "", "img/a.png", "deep/x/p3.html", "A red apple", 2},  // p2's two tags are one page
        {nullptr, "", "img/b.png", "p2.html", std::nullopt, 0},
        {nullptr, "", "http://example.com/img/a.png", "p2.html", std::nullopt, 0},
        {"a.html", "<img src=img/b.png alt=\"A red apple\">", "img/a.png", "p2.html", "A red apple", 2},
        {"sub/p1.html", "<img src=\"../img/a.png\" alt=\"An apple\">", "img/a.png", "p2.html", "An apple", 2},
        {"p2.html", "<meta charset=iso-8859-1><img src=img/a.png alt=\"Pomme \xe9\">", "img/a.png", "p4.htm", "Pomme \xc3\xa9", 2},
        {nullptr, "", "img/b.png", "p2.html", "A red apple", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.picture + " from " + row.open);
        if (row.page)
            index.update(site.path(row.page), row.text, pageEncoding(row.text));
        const std::string picture = row.picture[0] == 'h' ? row.picture : normalPath(site.path(row.picture));
        const auto offer = index.offerFor(picture, site.path(row.open));
        EXPECT_EQ(offer ? std::optional(offer->alt) : std::nullopt, row.alt);
        EXPECT_EQ(offer ? offer->pages : 0, row.pages);
    }
}

// The same bytes under three names in three folders are one picture: offered, counted and
// written as one. Other bytes under one of those names, and a name not on disk, stay apart.
TEST(SiteIndex, MeetsCopiesOfOnePictureByTheirBytes)
{
    test::TempDir site;
    for (const char* copy : {"img/logo.gif", "sub/logo-copy.gif", "other/brand.png"})
        site.write(copy, test::kGif);
    site.write("a/logo.gif", test::kGif + "another picture");
    site.write("p1.html", "<img src=img/logo.gif alt=\"Brindle logo\">");
    site.write("p5.html", "<img src=img/logo.gif alt=Logo><img src=other/brand.png alt=Logo>"); // one page, however many names
    site.write("sub/p2.html", "<img src=logo-copy.gif>");
    site.write("other/p3.html", "<img src=brand.png>");
    site.write("a/p4.html", "<img src=logo.gif><img src=gone.gif alt=Gone>");
    site.write("a/p6.html", "<img src=gone.gif>");
    RealFileSystem files;
    SiteIndex index(files);
    indexed(index, site);
    const struct {
        std::string picture, open, alt;
        size_t pages, places, onPages;
    } rows[] = {
        {"img/logo.gif", "sub/p2.html", "Brindle logo", 1, 5, 4},
        {"sub/logo-copy.gif", "other/p3.html", "Brindle logo", 1, 5, 4},
        {"other/brand.png", "p1.html", "Logo", 1, 5, 4},
        {"a/logo.gif", "a/p4.html", "", 0, 1, 1},
        {"a/gone.gif", "a/p6.html", "Gone", 1, 2, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.picture + " from " + row.open);
        const std::string picture = normalPath(site.path(row.picture));
        const auto offer = index.offerFor(picture, site.path(row.open));
        EXPECT_EQ(offer ? offer->alt + "/" + std::to_string(offer->pages) : "/0", row.alt + "/" + std::to_string(row.pages));
        const SiteIndex::Reach reach = index.reachOf(picture, site.path(row.open));
        EXPECT_EQ(std::to_string(reach.places) + " on " + std::to_string(reach.pages), std::to_string(row.places) + " on " + std::to_string(row.onPages));
    }
    SiteEdits edits(files);
    const std::string copy = normalPath(site.path("sub/logo-copy.gif"));
    EXPECT_EQ(edits.plan(index, copy, "Brindle logo", site.path("sub/p2.html")).size(), 1u);
    const SiteEdits::Result result = edits.useForEveryPage(index, copy, "Brindle logo", site.path("sub/p2.html"));
    EXPECT_EQ(result.written, std::vector<std::string>{site.path("other/p3.html")});
    EXPECT_EQ(test::readAll(site.path("other/p3.html")), "<img src=brand.png alt=\"Brindle logo\">");
    EXPECT_EQ(test::readAll(site.path("a/p4.html")), "<img src=logo.gif><img src=gone.gif alt=Gone>");
}

// The open page is read from the text the window holds, not from the disk a second time.
TEST(SiteIndex, ReadsTheOpenPageFromTheTextItIsGiven)
{
    test::TempDir site;
    site.write("a.png", test::kGif);
    site.write("q.html", "<img src=a.png>");
    const std::string open = site.write("p.html", "<img src=a.png alt=\"On disk\">");
    RealFileSystem files;
    SiteIndex index(files);
    index.start({}, {site.path()}, {open, std::make_shared<const std::string>("<img src=a.png alt=\"Held\">"), "UTF-8"});
    while (!index.progress().finished)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto offer = index.offerFor(normalPath(site.path("a.png")), site.path("q.html"));
    EXPECT_EQ(offer ? offer->alt : "none", "Held");
}

// Files before; changed by another program after indexing (empty: not); after the ALT was used for every page.
// Which folder is the site: files made, the page's folder, the home, the folders chosen.
TEST(SiteRoot, TheTopmostFolderWithAnIndexPageBelowTheLimits)
{
    const struct {
        std::vector<std::string> files;
        std::string page, home;
        std::vector<std::string> chosen;
        std::string site;
    } rows[] = {
        {{"s/index.html", "s/news/2024/menu.htm"}, "s/news/2024/", "", {}, "s/"},
        {{"s/news/2024/menu.htm"}, "s/news/2024/", "", {}, "s/news/2024/"},
        {{"a/index.html", "a/b/.git/HEAD", "a/b/index.htm", "a/b/c/p.html"}, "a/b/c/", "", {}, "a/b/"},
        {{"a/index.html", "a/b/.git/HEAD", "a/b/c/p.html"}, "a/b/c/", "", {}, "a/b/c/"},
        {{"h/index.html", "h/s/index.html", "h/s/x/p.html"}, "h/s/x/", "h/", {}, "h/s/"},
        {{"h/index.html", "h/s/x/p.html"}, "h/s/x/", "h/", {}, "h/s/x/"},
        {{"c/index.html", "c/d/e/p.html"}, "c/d/e/", "", {"c/d/"}, "c/d/"},
        {{"c/index.html", "c/d/e/p.html"}, "c/d/e/", "", {"c/x/", "c/d/e"}, "c/"},
        {{"c/index.html/x", "c/d/p.html"}, "c/d/", "", {}, "c/d/"}, // a folder named as an index page
    };
    for (const auto& row : rows) {
        test::TempDir dir;
        for (const std::string& file : row.files)
            dir.write(file, "<p>x</p>");
        std::vector<std::string> chosen;
        for (const std::string& folder : row.chosen)
            chosen.push_back(dir.path(folder));
        RealFileSystem files;
        EXPECT_EQ(siteFolderOf(files, dir.path(row.page), row.home.empty() ? "" : dir.path(row.home), chosen), dir.path(row.site))
            << row.page;
    }
    RealFileSystem files;
    for (const char* high : {"/tmp/x/", "/x/"}) // never "/" or a folder right under it
        EXPECT_EQ(siteFolderOf(files, high, "", {}), high);
}

TEST(SiteEdits, WritesOnlyTheTagsWithoutAnAltAndPutsEveryByteBack)
{
    test::TempDir site;
    const std::string alt = "Brindlew\xc3\xb6rk logo", written = " alt=\"" + alt + "\"";
    const struct {
        std::string file, before, theirs, after;
    } rows[] = {
        {"img/logo.gif", test::kGif, "", test::kGif},
        {"a.html", "<img src=img/logo.gif alt=\"Logo\">", "", "<img src=img/logo.gif alt=\"Logo\">"},
        {"d.html", "<img src=img/logo.gif alt=\"\">", "", "<img src=img/logo.gif alt=\"\">"},
        {"open.html", "<img src=img/logo.gif>", "", "<img src=img/logo.gif>"},
        {"notes.txt", "<img src=img/logo.gif>", "", "<img src=img/logo.gif>"},
        {"b.html", "<IMG SRC=\"img/logo.gif\" width=1><p>x</p><IMG SRC=\"img/logo.gif\" width=1>", "",
         "<IMG SRC=\"img/logo.gif\" ALT=\"" + alt + "\" width=1><p>x</p><IMG SRC=\"img/logo.gif\" ALT=\"" + alt + "\" width=1>"},
        {"sub/c.html", "<img src=../img/logo.gif><img src=../img/other.gif>", "", "<img src=../img/logo.gif" + written + "><img src=../img/other.gif>"},
        {"l.html", "<meta charset=iso-8859-1><p>caf\xe9</p><img src=img/logo.gif>", "", "<meta charset=iso-8859-1><p>caf\xe9</p><img src=img/logo.gif alt=\"Brindlew\xf6rk logo\">"},
        {"e.html", "<img src=img/logo.gif>", "<p>theirs</p><img src=img/logo.gif>", "<p>theirs</p><img src=img/logo.gif" + written + ">"},
        {"f.html", "<img src=img/logo.gif>", "<img src=img/logo.gif alt=\"Theirs\">", "<img src=img/logo.gif alt=\"Theirs\">"},
        {"g.html", "<img src=img/logo.gif>", "<p>no picture now</p>", "<p>no picture now</p>"},
    };
    for (const auto& row : rows)
        site.write(row.file, row.before);
    RealFileSystem files;
    SiteIndex index(files);
    indexed(index, site);
    for (const auto& row : rows)
        if (!row.theirs.empty())
            site.write(row.file, row.theirs);

    SiteEdits edits(files);
    const std::string logo = normalPath(site.path("img/logo.gif"));
    const SiteEdits::Result result = edits.useForEveryPage(index, logo, alt, site.path("open.html"));
    EXPECT_EQ(result.written, (std::vector<std::string>{site.path("b.html"), site.path("e.html"), site.path("l.html"), site.path("sub/c.html")}));
    EXPECT_TRUE(result.failed.empty());
    EXPECT_TRUE(edits.holdsEdits());
    EXPECT_EQ(index.offerFor(logo, site.path("open.html"))->pages, 4u) << "the index hears of every page written";
    for (const auto& row : rows)
        EXPECT_EQ(test::readAll(site.path(row.file)), row.after) << row.file;

    // Put back twice: first refusing to overwrite what another program wrote since, then agreeing.
    site.write("b.html", "<p>mine now</p>");
    std::vector<std::string> asked;
    for (const bool agree : {false, true}) {
        edits.confirmOverwrite = [&](const std::string& path) { asked.push_back(path); return agree; };
        const std::vector<std::string> failed = edits.putBack(index);
        EXPECT_EQ(failed.size(), agree ? 0u : 1u);
        EXPECT_EQ(test::readAll(site.path("b.html")), agree ? rows[5].before : "<p>mine now</p>");
        EXPECT_EQ(edits.holdsEdits(), !agree);
    }
    EXPECT_EQ(asked, (std::vector<std::string>{site.path("b.html"), site.path("b.html")}));
    EXPECT_NE(index.offerFor(logo, site.path("open.html"))->alt, alt) << "the index hears of every page put back";
    for (const auto& row : rows)
        EXPECT_EQ(test::readAll(site.path(row.file)), row.theirs.empty() ? row.before : row.theirs) << row.file;
}

} // namespace
} // namespace bw
