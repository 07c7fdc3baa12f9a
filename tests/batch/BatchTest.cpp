// The local batch window, "Move to next file" and a page fetched by the FTP window, on real files.
#include <gtest/gtest.h>

#include "batch/BatchSummary.h"
#include "support/EditorFixture.h"

namespace bw {
namespace {

using namespace std::string_literals;

struct Batch : test::EditorFixture {
    Batch()
    {
        images({"a/pic.gif", "b/pic.gif", "a/more.gif", "b/more.gif", "a.gif", "b.gif", "c.gif", "bg.gif", "Pics/B.GIF",
                "pic.gif", "ftp/x.gif", "ftp/pics/y.jpg", "ftp/v1.2/x.gif"});
    }
};

// Views: progress|page|counter|box|picture name|picture file.
TEST_F(Batch, Sessions)
{
    const std::string two = "<html><img SRC=\"pic.gif\"><img SRC=\"more.gif\"></html>";
    auto with = [](const char* alt) { return "<html><img SRC=\"pic.gif\" ALT=\""s + alt + "\"><img SRC=\"more.gif\"></html>"; };
    const std::string plain = "<img SRC=\"a.gif\"><img SRC=\"b.gif\"><img SRC=\"c.gif\">";
    const std::string bg = "<body background=\"bg.gif\"><img SRC=\"a.gif\"><img SRC=\"b.gif\">";
    const char* closed = "(batch window closed)";
    const char* last = "BRINDLEWORK: Last Image";
    const char* ftp = "w:ftp/page.html=";
    const Row rows[] = {
        // Fetched by the FTP window: read from its temp path, whatever the open dialog chose last.
        {"fetched: jpg after gif", "", {ftp + "<img SRC=\"x.gif\"><img SRC=\"pics/y.jpg\">"s, "F:page.html", ">", "?", "=An x", "<", "f", "1", "X"},
         {"ftp/page.html|Image 2 of 2||pics/y.jpg|ftp/pics/y.jpg", "file <img SRC=\"x.gif\"><img SRC=\"pics/y.jpg\" ALT=\"An x\">", "taken out again",
          "(ended)", "ftp/page.html|Image 1 of 2||x.gif|ftp/x.gif"},
         {"ftp/page.html=<img SRC=\"x.gif\"><img SRC=\"pics/y.jpg\">", "page.html"}},
        {"fetched: odd pictures", "", {ftp + "<img SRC=\"v1.2/x.gif\">"s, "F:page.html", "?", ftp + "<img SRC=\"gone.gif\">"s, "F:page.html", "?",
                                       ftp + "<body background=\"x.gif\"><img SRC=\"pics/y.jpg\">"s, "F:page.html", "?", ftp + "<p>none</p>"s, "F:page.html"},
         {"ftp/page.html|Image 1 of 1||v1.2/x.gif|ftp/v1.2/x.gif", "Pic Not Found: BRINDLEWORK", "ftp/page.html|Image 1 of 1||gone.gif|",
          "ftp/page.html|Image 1 of 1||pics/y.jpg|ftp/pics/y.jpg", "ftp/page.html|Image 0 of 0|||"}},
        // What is typed goes into the page before the batch moves on; past the last page it stays. A
        // picture described on an earlier page is offered once the index has read the pages.
        // The index is held while page three opens, so the offer comes from its reading, never sooner.
        {"three pages in two folders", "", {"B:a/one.html,b/two.html,a/three.html", "?", "=T1", "M", "?", "=T2", "i", "H+", "M", "?", "H-", "i", "?", "=T3", "M"},
         {closed, "1 / 3|a/one.html|Image 1 of 2||pic.gif|a/pic.gif", "2 / 3|b/two.html|Image 1 of 2||pic.gif|b/pic.gif",
          "3 / 3|a/three.html|Image 1 of 2||pic.gif|a/pic.gif", "3 / 3|a/three.html|Image 1 of 2|T1|pic.gif|a/pic.gif", "Batch finished: 3 pages, 3 images described, 0 decorative, 3 still missing an ALT.", "3 / 3|a/three.html|Image 1 of 2|T3|pic.gif|a/pic.gif"},
         {"a/one.html=" + with("T1"), "b/two.html=" + with("T2"), "a/three.html=" + with("T3")}},
        {"one page", "", {"B:b/two.html", "M"}, {closed, "Batch finished: 1 page, 0 images described, 0 decorative, 2 still", "1 / 1|b/two.html|Image 1 of 2||pic.gif|b/pic.gif"}},
        {"the same page twice is listed once", "", {"B:a/one.html,a/one.html", "=T1", "M"},
         {closed, "Batch finished: 1 page, 1 image described, 0 decorative, 1 still", "1 / 1|a/one.html|Image 1 of 2|T1|pic.gif|a/pic.gif"}, {"a/one.html=" + with("T1")}},
        {"OK starts a fresh batch", "", {"B:a/one.html,b/two.html", "M", "B:a/three.html", "?", "M"},
         {closed, closed, "1 / 1|a/three.html|", "Batch finished: 1 page, 0 images described", "1 / 1|a/three.html|Image 1 of 2||pic.gif|a/pic.gif"}},
        {"OK without pages", "", {"B:"}, {closed, "1 / 0||Image of|||"}},
        {"a full clear ends the batch", "", {"B:a/one.html,b/two.html", "M", "y", "N", "M"}, {closed, "BRINDLEWORK: Do you want to Load New Page ?", "||Image of|||"}},
        // Closing puts back the page on screen and no other.
        {"Exit, Take Out", "", {"B:a/one.html,b/two.html,a/three.html", "M", "=A", ">", "f", "1", "X"},
         {closed, "file " + with("A"), "taken out again", "(ended)", "2 / 3|b/two.html|"}, {"a/one.html=" + two, "b/two.html=" + two}},
        {"RESET", "", {"B:a/one.html,b/two.html", "M", "=A", ">", "y", "R"}, {closed, "reset ?", "||Image of|||"}, {"b/two.html=" + two}},
        {"New", "", {"B:a/one.html,b/two.html", "=A", ">", "M", "y", "N"}, {closed, "Load New Page ?", "||Image of|||"},
         {"a/one.html=" + with("A"), "b/two.html=" + two}},
        {"closing, Take Out", "", {"B:a/one.html,b/two.html", "M", "=A", ">", "1", "C"}, {closed, "taken out again", "2 / 2|b/two.html|"},
         {"a/one.html=" + two, "b/two.html=" + two}},
        // Every page starts at its first image, whatever the page before had.
        {"plain after a background", "", {"w:first.html=" + bg, "w:second.html=" + plain, "B:first.html,second.html", ">", ">", "M", "?", ">", "<"},
         {closed, last, "2 / 2|second.html|Image 1 of 3||a.gif|a.gif", "2 / 2|second.html|Image 1 of 3||a.gif|a.gif"}},
        {"a background after plain", "", {"w:first.html=" + plain, "w:second.html=" + bg, "B:first.html,second.html", ">", ">", ">", "M", "?", ">", "<"},
         {closed, last, "2 / 2|second.html|Image 1 of 2||a.gif|a.gif", "2 / 2|second.html|Image 1 of 2||a.gif|a.gif"}},
        {"a batch after a background", "", {"w:first.html=" + bg, "w:second.html=" + plain, "B:first.html", "B:second.html"},
         {closed, closed, "1 / 1|second.html|Image 1 of 3||a.gif|a.gif"}},
        // The first picture, however the page names it.
        {"today's tags, then none", "", {"w:today.html=<img src=\"a.gif\"><IMG SRC=\"Pics/B.GIF\"><picture><source srcset=x.webp><img src=c.gif></picture>",
          "w:none.html=<p>none</p>", "B:today.html,none.html", ">", "?", ">", "?", "M"},
         {closed, "1 / 2|today.html|Image 2 of 3||Pics/B.GIF|Pics/B.GIF", "1 / 2|today.html|Image 3 of 3||c.gif|c.gif", "2 / 2|none.html|Image 0 of 0|"}},
        {"moving on shows the first picture", "", {"w:s1.html=<img SRC=noname><p>text</p>", "w:s2.html=<img SRC=.><img SRC=\"a.gif\">",
          "w:s3.html=<body background=\"bg.gif\"><img SRC=\"gone.gif\">", "w:s4.html=<body background=\"bg.gif\"><img SRC=\"b.gif\">",
          "B:a/one.html,s1.html,s2.html,s3.html,s4.html", "M", "?", "M", "?", "M", "?", "M"},
         {closed, "2 / 5|s1.html|Image 1 of 1||noname|", "3 / 5|s2.html|Image 1 of 2||.|", "Pic Not Found: BRINDLEWORK", "4 / 5|s3.html|Image 1 of 1||gone.gif|",
          "5 / 5|s4.html|Image 1 of 1||b.gif|b.gif"}},
    };
    for (const Row& row : rows) {
        for (const char* page : {"a/one.html", "b/two.html", "a/three.html"})
            dir.write(page, two);
        play(row);
    }
}

// Pages of every kind: described (a background does not count), decorative, missing, none.
void writeSite(const test::TempDir& dir)
{
    dir.write("site/index.html", "<img src=a.gif>");
    dir.write("site/Sub/About.HTM", "<body background=bg.gif><img src=a.gif alt=\"A\">");
    dir.write("site/sub/deep/x.SHTML", "<img src=a.gif alt=\"\">");
    dir.write("site/sub/notes.txt", "<img src=a.gif>");
    dir.write("site/b.xhtml", "<img src=a.gif alt=x><img src=b.gif><img src=b.gif>");
    dir.write("site/none.html", "<p>no images</p>");
    dir.write("empty/index.html.txt", "");
    dir.write("other/bin.html", "<img src=a.gif>\0"s);
    std::filesystem::create_directory_symlink(dir.path(), dir.path("site/sub/loop"));
}

// Boxes shown, then the window's rows (">" before the one selected) and the buttons it enables
// (Remove, Up, Down), then the main window's batch if the window went. Steps: "f:a,b" Add files
// ("*.html" as the dialog gives it back), "d:folder" Add folder ("d" cancelled; the folder it
// opened at is logged), "s:n" selects row n, "r" Remove, "u"/"v" Move Up/Down, "c" ticks the
// filter, "K" OK, "x" Cancel.
TEST_F(Batch, ChoosingPages)
{
    writeSite(dir);
    const std::string all = "site/Sub/About.HTM,site/b.xhtml,site/index.html,site/none.html,site/sub/deep/x.SHTML";
    const Row rows[] = {
        {"a folder: its pages by path, a linked folder not walked", "", {"d:site"}, {"from ", all + " ---"}},
        {"files and folders: no page twice", "", {"f:site/index.html,*.html,site/index.html", "f:", "d:site", "d:site"},
         {"from site/", "from site", "Every page of the folder", "site/index.html,site/Sub/About.HTM,site/b.xhtml,site/none.html,site/sub/deep/x.SHTML ---"}},
        {"no pages, no folder, cancelled", "", {"d:empty", "d:gone", "d"},
         {"from ", "BRINDLEWORK: The folder", "from empty", "gone\ncould not be read", "from gone", " ---"}},
        {"removing and moving, the selection following", "", {"d:site", "s:0", "v", "r", "u", "u", "s:3", "v", "r"},
         {"from ", "site/index.html,site/b.xhtml,>site/none.html RU-"}},
        {"Delete again and again", "", {"f:site/index.html,site/none.html", "s:0", "r", "r", "r"}, {" ---"}},
        {"OK takes the order shown", "", {"d:site", "s:4", "u", "s:0", "r", "K"},
         {"from ", ">site/b.xhtml,site/index.html,site/sub/deep/x.SHTML,site/none.html R-D",
          "batch site/b.xhtml,site/index.html,site/sub/deep/x.SHTML,site/none.html"}},
        {"the filter: described, decorative and imageless pages left out", "", {"d:site", "c", "K"},
         {"from ", "BRINDLEWORK: 3 pages were left out", all + " ---", "batch site/b.xhtml,site/index.html"}},
        {"the filter keeps what cannot be read", "", {"f:site/Sub/About.HTM,gone.html,other/bin.html", "c", "K"},
         {"1 page was left out", "gone.html\nof the batch could not be found", "holds binary data",
          "site/Sub/About.HTM,gone.html,other/bin.html ---", "batch gone.html,other/bin.html"}},
        {"the filter leaves nothing: the window stays", "", {"f:site/Sub/About.HTM,site/sub/deep/x.SHTML", "c", "K"},
         {"Every image of the 2 pages chosen has an ALT already", "site/Sub/About.HTM,site/sub/deep/x.SHTML ---"}},
        {"Cancel leaves the main window alone", "", {"f:site/index.html", "x"}, {"site/index.html ---", "batch "}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        form.clearAll();
        log.clear();
        LocalBatch window(platform(), batch);
        bool closed = false;
        window.closeWindow = [&] { closed = true; };
        auto local = [&](const std::string& path) { return path.substr(path.starts_with(dir.path()) ? dir.path().size() : 0); };
        for (const std::string& step : row.steps) {
            const std::string arg = step.size() > 2 ? step.substr(2) : "";
            std::istringstream names(arg);
            switch (step[0]) {
            case 'f': dialogs.chosenMany.emplace_back();
                for (std::string name; std::getline(names, name, ',');)
                    dialogs.chosenMany.back().push_back(name[0] == '*' ? name : dir.path(name));
                window.addFiles(); break;
            case 'd': dialogs.folders.push_back(arg.empty() ? std::nullopt : std::optional(dir.path(arg)));
                window.addFolder();
                log.push_back("from " + local(dialogs.folderStarts.back())); break;
            case 's': window.pageList.setListIndex(std::stoi(arg)); break;
            case 'r': window.removeSelected(); break;
            case 'u': window.moveSelectedUp(); break;
            case 'v': window.moveSelectedDown(); break;
            case 'c': window.missingAltOnly.Value = true; break;
            case 'K': window.ok(); break;
            case 'x': window.cancel(); break;
            }
            for (const test::Shown& box : dialogs.shown)
                log.push_back(box.title + ": " + box.text);
            dialogs.shown.clear();
        }
        std::string shown, batched = "batch ";
        for (int i = 0; i < window.pageList.ListCount(); ++i) {
            shown += (i ? "," : "") + std::string(i == window.pageList.ListIndex() ? ">" : "") + local(window.pageList.List(i));
            EXPECT_EQ("/" + window.pageNames.List(i), window.pageList.List(i).substr(window.pageList.List(i).rfind('/')));
        }
        log.push_back(shown + " " + (window.removeButton.Enabled ? "R" : "-") + (window.upButton.Enabled ? "U" : "-") + (window.downButton.Enabled ? "D" : "-"));
        for (size_t i = 0; closed && i < batch.pages().size(); ++i)
            batched += (i ? "," : "") + local(batch.pages()[i]);
        if (closed)
            log.push_back(batched);
        expectLog(row.log);
    }
    for (const FileDialog& asked : dialogs.openManyRequests)
        EXPECT_EQ(asked.Filter + " " + asked.FileName, "HTML *.html");
}

// Images as the main window lists them: a tag written twice once, a background never; each page once.
TEST_F(Batch, Summary)
{
    writeSite(dir);
    dir.write("twice.html", "<img src=a.gif><img src=a.gif><IMG SRC=b.gif ALT><img src=c.gif alt=\"&#32;\">");
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"site/index.html", "site/b.xhtml", "site/Sub/About.HTM", "site/sub/deep/x.SHTML", "site/none.html"},
         "Batch finished: 5 pages, 2 images described, 1 decorative, 2 still missing an ALT."},
        {{"twice.html", "twice.html"}, "Batch finished: 1 page, 1 image described, 1 decorative, 1 still missing an ALT."},
        {{"gone.html", "other/bin.html", "site/Sub/About.HTM", "site"},
         "Batch finished: 1 page, 1 image described, 0 decorative, none missing an ALT. 3 pages could not be read."},
        {{"gone.html"}, "Batch finished: none of its pages could be read."},
        {{}, "Batch finished: it had no pages."},
    };
    for (const auto& [pages, text] : rows) {
        std::vector<std::string> paths;
        for (const std::string& page : pages)
            paths.push_back(dir.path(page));
        EXPECT_EQ(summaryText(summarize(files, paths)), text);
    }
}

} // namespace
} // namespace bw
