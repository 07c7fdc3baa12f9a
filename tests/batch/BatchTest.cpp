// The local batch window, "Move to next file" and batchopen, on real files.
#include <gtest/gtest.h>

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
        {"fetched: none named", "", {"F:"}, {"|Image of|||"}},
        // What is typed goes into the page before the batch moves on; past the last page it stays.
        {"three pages in two folders", "", {"B:a/one.html,b/two.html,a/three.html", "?", "=T1", "M", "?", "=T2", "M", "?", "=T3", "M"},
         {closed, "1 / 3|a/one.html|Image 1 of 2||pic.gif|a/pic.gif", "2 / 3|b/two.html|Image 1 of 2||pic.gif|b/pic.gif",
          "3 / 3|a/three.html|Image 1 of 2||pic.gif|a/pic.gif", "The batch is done: all 3 pages", "3 / 3|a/three.html|Image 1 of 2|T3|pic.gif|a/pic.gif"},
         {"a/one.html=" + with("T1"), "b/two.html=" + with("T2"), "a/three.html=" + with("T3")}},
        {"one page", "", {"B:b/two.html", "M"}, {closed, "The batch is done: all 1 page", "1 / 1|b/two.html|Image 1 of 2||pic.gif|b/pic.gif"}},
        {"the same page twice", "", {"B:a/one.html,a/one.html", "=T1", "M", "?", "=T2", "M"},
         {closed, "2 / 2|a/one.html|Image 1 of 2|T1|pic.gif|a/pic.gif", "The batch is done: all 2", "2 / 2|a/one.html|Image 1 of 2|T2|"},
         {"a/one.html=" + with("T2")}},
        {"OK starts a fresh batch", "", {"B:a/one.html,b/two.html", "M", "B:a/three.html", "?", "M"},
         {closed, closed, "1 / 1|a/three.html|", "The batch is done: all 1 page", "1 / 1|a/three.html|Image 1 of 2||pic.gif|a/pic.gif"}},
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

TEST_F(Batch, AddFilesAppendsEveryChoiceAndCancelLeavesTheMainWindowAlone)
{
    dialogs.chosenMany = {{"/site/b.html", "/site/a.html"}, {}, {"/other/c.html"}, {"*.html"}, {"/site/b.html"}};
    form3 window(Platform{dialogs, files, shell, host, settings}, form);
    window.Unload = [this] { log.push_back("(batch window closed)"); };
    for (int i = 0; i < 5; ++i)
        window.Command1_Click();
    EXPECT_EQ(window.List1.items(), (std::vector<std::string>{"/site/b.html", "/site/a.html", "/other/c.html", "/site/b.html"}));
    EXPECT_EQ(window.List2.items(), (std::vector<std::string>{"b.html", "a.html", "c.html", "b.html"}));
    for (const FileDialog& asked : dialogs.openManyRequests)
        EXPECT_EQ(asked.Filter + " " + asked.FileName, "HTML *.html");
    window.CancelButton_Click();
    EXPECT_EQ(log, (std::vector<std::string>{"(batch window closed)"}));
    EXPECT_EQ(view(), "|Image of|||");
}

} // namespace
} // namespace bw
