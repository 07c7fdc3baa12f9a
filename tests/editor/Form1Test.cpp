#include <gtest/gtest.h>

#include <filesystem>

#include "editor/Form1.h"
#include "support/EditorFixture.h"

namespace bw {
namespace {

using test::kGif;
using test::readAll;

struct Editor : test::EditorFixture {
    void open(const std::string& path) { openFile(path); }
    std::string page(const std::string& name, const std::string& html) { return dir.write(name, html); }
};

TEST_F(Editor, StartsWithNoPageAndItsCaptions)
{
    EXPECT_EQ(form.Label4.Caption, "Ver. 1.0.6");
    EXPECT_EQ(form.Label1.Caption, "Image of");
    EXPECT_EQ(form.Label5.Caption, "");
    EXPECT_FALSE(form.pageOpen());
    EXPECT_EQ(host.splashes, 1);
    EXPECT_EQ(form.nästa, 1);
    EXPECT_TRUE(form.visa);
    std::vector<std::string> keys;
    for (const auto& b : form.Toolbar1)
        keys.push_back(b.separator() ? "|" : b.Key + ":" + b.ToolTipText);
    EXPECT_EQ(keys, (std::vector<std::string>{"|", "new:New File", "open:Open File", "save:Save File", "|",
                                              "Preview:Preview", "|"}));
    EXPECT_FALSE(form.Command7.Visible);
}

TEST_F(Editor, OpeningShowsFirstImageCounterAndExistingAlt)
{
    images({"logo.gif", "b.gif", "pics/c.jpg"});
    const std::string html = "<html><body>\r\n<img SRC=\"logo.gif\" ALT=\"Logo\" width=10>\r\n"
                             "<p>text</p><img SRC=\"b.gif\">\r\n<IMG SRC=\"pics/c.jpg\" height=3></body></html>\r\n";
    std::string path = page("site/index.html", html);
    images({"site/logo.gif", "site/b.gif", "site/pics/c.jpg"});
    open(path);

    EXPECT_EQ(form.Text6.Text(), path);
    EXPECT_EQ(form.Caption, "BRINDLEWORK Beta " + path);
    EXPECT_EQ(form.sökvägbild, dir.path("site/"));
    EXPECT_EQ(form.texten10, html);
    EXPECT_EQ(form.ejspara, html);
    EXPECT_EQ(form.List1.items(),
              (std::vector<std::string>{"<img SRC=\"logo.gif\"", "<img SRC=\"b.gif\"", "<IMG SRC=\"pics/c.jpg\""}));
    EXPECT_EQ(form.List2.items(), (std::vector<std::string>{"logo.gif", "b.gif", "pics/c.jpg"}));
    EXPECT_EQ(form.Text3.Text(), "<img SRC=\"logo.gif\"\r\n<img SRC=\"b.gif\"\r\n<IMG SRC=\"pics/c.jpg\"\r\n");
    EXPECT_EQ(form.List1.ListIndex(), 0);
    EXPECT_EQ(form.Label1.Caption, "Image 1 of 3");
    EXPECT_EQ(form.Label5.Caption, "logo.gif");
    EXPECT_EQ(form.Picture1.Picture, dir.path("site/logo.gif"));
    EXPECT_EQ(form.Text1.Text(), "Logo");
    EXPECT_EQ(form.aa, "12");
    EXPECT_TRUE(dialogs.shown.empty());
    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_EQ(dialogs.openRequests[0].Filter,
              "HTML Files (*.html)|*.html|HTM Files(*.htm)|*.htm|sHTML Files (*.shtml)|*.shtml");
    EXPECT_EQ(dialogs.openRequests[0].Flags, FileDialog::HideReadOnly);
}

TEST_F(Editor, ExistingAltIsReadExactlyAsWrittenInsideTheCurrentTag)
{
    struct Case {
        std::string tag, box, aa;
        int text1lång;
    };
    const Case cases[] = {
        {"<img SRC=\"a.gif\" ALT=\"Logo\">", "Logo", "12", 0},
        {"<img SRC=\"a.gif\" ALT=\"Logo\" height=10>", "Logo", "12", 0},
        {"<img SRC=\"a.gif\" width=10 ALT=\"x y\">", "x y", "11", 0},
        {"<img SRC=\"a.gif\" alt=Logo>", "Logo", "12", 0},
        {"<img SRC=\"a.gif\" ALT='it''s'>", "it", "10", 0},
        {"<img SRC=\"a.gif\" width=\"1000000\" height=\"1000000\" ALT=\"far\">", "far", "11", 0},
        {"<img SRC=\"a.gif\" ALT=\"a > b\" border=0>", "a > b", "13", 0},
        {"<img SRC=\"a.gif\" ALT=\"\">", "", "1", 1},
        {"<img SRC=\"a.gif\" ALT>", "", "1", 1},
        {"<img SRC=\"a.gif\"><p ALT=\"next\">", "", "", 1}, // belongs to the next element
        {"<img SRC=\"a.gif\" width=1><img SRC=\"b.gif\" ALT=\"B\">", "", "", 1},
        {"<img SRC=\"a.gif\" ALT=\"Brindlewörk\">", "Brindlewörk", "20", 0},
    };
    images({"a.gif", "b.gif"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        form.nytt();
        form.text1lång = 0;
        open(page("alt.html", "<html>" + c.tag + "</html>"));
        EXPECT_EQ(form.Text1.Text(), c.box);
        EXPECT_EQ(form.aa, c.aa);
        EXPECT_EQ(form.text1lång, c.text1lång);
    }
}

TEST_F(Editor, MissingImagesAndPagesWithoutImages)
{
    images({"b.gif"});
    open(page("a.html", "<img SRC=\"a.gif\"><img SRC=\"b.gif\"></html>"));
    EXPECT_TRUE(dialogs.saw("UNABLE TO DISPLAY IMAGES, IMAGES NOT FOUND", "BRINDLEWORK"));
    EXPECT_FALSE(form.visa);
    EXPECT_TRUE(form.Picture1.Picture.empty());
    EXPECT_TRUE(form.pageOpen());

    form.nytt();
    dialogs.shown.clear();
    open(page("none.html", "<html><p>No pictures here.</p></html>"));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(form.Label1.Caption, "Image 0 of 0");
    EXPECT_EQ(form.List2.ListCount(), 0);
    EXPECT_TRUE(form.pageOpen());

    // An unquoted name keeps its first letter.
    form.nytt();
    dialogs.shown.clear();
    open(page("u.html", "<img SRC=b.gif></html>"));
    EXPECT_EQ(form.List2.List(0), "b.gif");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Editor, ImageNamesIgnoreLetterCaseAndBackslashes)
{
    dir.write("Pics/Photo.GIF", kGif);
    open(page("a.html", "<html><img SRC=\"pics\\photo.gif\"></html>"));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(form.Picture1.Picture, dir.path("Pics/Photo.GIF"));
}

TEST_F(Editor, BackgroundPageStartsAtItsFirstImage)
{
    images({"bg.gif", "a.gif", "b.gif"});
    open(page("bg.html", "<body background=\"bg.gif\"><img SRC=\"a.gif\" ALT=\"A\"><img SRC=\"b.gif\"></body></html>"));
    EXPECT_TRUE(form.bakgrund);
    EXPECT_EQ(form.List1.ListCount(), 3);
    EXPECT_EQ(form.List1.ListIndex(), 1);
    EXPECT_EQ(form.Label1.Caption, "Image 1 of 2");
    EXPECT_EQ(form.Picture1.Picture, dir.path("a.gif"));
    EXPECT_EQ(form.Text1.Text(), "A");
    EXPECT_TRUE(dialogs.shown.empty());

    // Its first image missing: the title bar says so, and the page still moves past the background.
    std::filesystem::remove(dir.path("a.gif"));
    form.nytt();
    open(dir.path("bg.html"));
    EXPECT_TRUE(dialogs.saw("BRINDLEWORK", "Pic Not Found"));
    EXPECT_EQ(form.List1.ListIndex(), 1);
    EXPECT_FALSE(form.visa);

    // Only the background image: nothing past the end is selected and no picture is shown.
    form.nytt();
    open(page("only.html", "<body background=\"bg.gif\"><p>x</p></body></html>"));
    EXPECT_EQ(form.List1.ListCount(), 1);
    EXPECT_EQ(form.List1.ListIndex(), 0);
    EXPECT_TRUE(form.Picture1.Picture.empty());
    EXPECT_EQ(form.Label1.Caption, "Image 0 of 0");
}

TEST_F(Editor, OpenDialogCancelAndBadFilesLeaveNoPageOpen)
{
    // Cancelled: nothing happens.
    dialogs.chosen.push_back(std::nullopt);
    form.fileopen();
    EXPECT_FALSE(form.pageOpen());
    EXPECT_EQ(form.Caption, "BRINDLEWORK");
    EXPECT_TRUE(dialogs.shown.empty());

    open("*.HTML");
    EXPECT_FALSE(form.pageOpen());

    open(dir.path("missing.html"));
    EXPECT_TRUE(dialogs.saw("BRINDLEWORK", "File Not Found"));
    EXPECT_FALSE(form.pageOpen());

    std::filesystem::create_directories(dir.path("folder.html"));
    dialogs.shown.clear();
    open(dir.path("folder.html"));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "BRINDLEWORK");
    EXPECT_NE(dialogs.shown[0].text.find("could not be read"), std::string::npos);
    EXPECT_FALSE(form.pageOpen());

    dialogs.shown.clear();
    open(dir.write("picture.html", std::string("\x89PNG\r\n\x1a\n\0\0\0", 11)));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_NE(dialogs.shown[0].text.find("not an HTML page"), std::string::npos);
    EXPECT_FALSE(form.pageOpen());
    EXPECT_TRUE(form.texten10.empty());
}

TEST_F(Editor, CancelInTheOpenDialogCancels)
{
    std::string path = page("a.html", "<html></html>");
    open(path);
    dialogs.answers = {Answer::Yes}; // "Load New Page ?"
    dialogs.chosen.push_back(std::nullopt);
    form.fileopen();
    EXPECT_TRUE(dialogs.saw("Load New Page ?", "BRINDLEWORK"));
    EXPECT_FALSE(form.pageOpen()) << "the file the dialog returned last is not opened again";

    // No keeps everything as it was, without showing the dialog.
    open(path);
    dialogs.answers = {Answer::No};
    size_t before = dialogs.openRequests.size();
    form.fileopen();
    EXPECT_EQ(dialogs.openRequests.size(), before);
    EXPECT_EQ(form.Text6.Text(), path);
}

TEST_F(Editor, OpeningOverAnOpenPageDoesNotRestoreTheOldFile)
{
    std::string first = page("a.html", "<html>first</html>");
    open(first);
    dir.write("a.html", "<html>edited</html>");
    dialogs.answers = {Answer::Yes};
    open(page("b.html", "<html>second</html>"));
    EXPECT_EQ(readAll(first), "<html>edited</html>");
    EXPECT_EQ(form.texten10, "<html>second</html>");
}

TEST_F(Editor, OpenPathActsAsTheDialogWould)
{
    images({"a.gif"});
    std::string path = page("cli.html", "<img SRC=\"a.gif\"></html>");
    form.openPath(path);
    EXPECT_EQ(form.Text6.Text(), path);
    EXPECT_EQ(form.CommonDialog1.FileName, path);
    EXPECT_EQ(form.CommonDialog1.FileTitle, "cli.html");
    EXPECT_EQ(form.Label1.Caption, "Image 1 of 1");
    EXPECT_TRUE(dialogs.openRequests.empty());
}

TEST_F(Editor, HugeEntryIsListedWithoutLimit)
{
    std::string filler(40000, 'x');
    images({"a.gif"});
    open(page("huge.html", "<img SRC=\"" + filler + "a.gif\"></html>"));
    ASSERT_EQ(form.List1.ListCount(), 1);
    EXPECT_EQ(form.List1.List(0).size(), 10 + filler.size() + 6);
}

// ---- Clearing and closing ----

struct Closing : Editor {
    std::string path;
    const std::string original = "<html><img SRC=\"a.gif\"></html>";
    const std::string edited = "<html><img SRC=\"a.gif\" ALT=\"edited\"></html>";
    Closing()
    {
        images({"p/a.gif"});
        path = page("p/p.html", original);
        open(path);
        form.Text1.setText("edited");
        form.Command3_Click(); // the last image: written, and "Last Image"
        dialogs.shown.clear();
    }
};

// Every way out of an edited page: what is asked, with which default, and what the file holds.
TEST_F(Closing, EveryWayOutAsksBeforeTakingWrittenAltsOut)
{
    const std::string takeOut = "The ALT texts written to p.html since you opened it will be taken out again.";
    struct Row {
        const char* name;
        void (Form1::*command)();
        bool kept;                   // "&Save" kept the edits first
        std::optional<Answer> yesNo; // the answer to a Yes/No question, if one is asked
        std::optional<int> choice;   // Keep, Take Out, Cancel (or -1: Return, the default)
        bool putBack, open, ended;
    };
    const Row rows[] = {
        {"RESET, No", &Form1::Command1_Click, false, Answer::No, {}, false, true, false},
        {"RESET, Yes", &Form1::Command1_Click, false, Answer::Yes, {}, true, false, false},
        {"RESET, Yes, kept", &Form1::Command1_Click, true, Answer::Yes, {}, true, false, false},
        {"New, No", &Form1::n_Click, false, Answer::No, {}, false, true, false},
        {"New, No, kept", &Form1::n_Click, true, Answer::No, {}, false, true, false},
        {"New, Yes", &Form1::n_Click, false, Answer::Yes, {}, true, false, false},
        {"Exit, Return", &Form1::e_Click, false, {}, -1, false, true, true},
        {"Exit, Keep", &Form1::e_Click, false, {}, 0, false, true, true},
        {"Exit, Take Out", &Form1::e_Click, false, {}, 1, true, true, true},
        {"Exit, Cancel", &Form1::e_Click, false, {}, 2, false, true, false},
        {"Exit, kept", &Form1::e_Click, true, {}, {}, false, true, true},
        {"closing, Take Out", nullptr, false, {}, 1, true, true, false},
        {"closing, Cancel", nullptr, false, {}, 2, false, true, false},
        {"closing, kept", nullptr, true, {}, {}, false, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        form.nytt();
        dir.write("p/p.html", original);
        open(path);
        form.Text1.setText("edited");
        form.Command3_Click();
        if (row.kept) {
            dialogs.answers = {Answer::Yes};
            form.Command4_Click();
        }
        ASSERT_EQ(readAll(path), edited);
        dialogs.shown.clear();
        if (row.yesNo)
            dialogs.answers = {*row.yesNo};
        if (row.choice)
            dialogs.chosenButtons = {*row.choice};
        const int ended = host.ended;
        bool closed = true;
        if (row.command)
            (form.*row.command)();
        else
            closed = form.Form_Unload();
        EXPECT_EQ(readAll(path), row.putBack ? original : edited);
        EXPECT_EQ(form.pageOpen(), row.open);
        EXPECT_EQ(host.ended != ended, row.ended);
        if (!row.command) {
            EXPECT_EQ(closed, row.choice != 2);
        }
        ASSERT_EQ(dialogs.shown.size(), row.yesNo || row.choice ? 1u : 0u);
        if (row.choice) {
            EXPECT_EQ(dialogs.shown[0].text, takeOut);
            EXPECT_EQ(dialogs.shown[0].choices, (std::vector<std::string>{"Keep", "Take Out", "Cancel"}));
        } else if (row.yesNo) {
            EXPECT_EQ(dialogs.shown[0].defaultAnswer, Answer::No); // Return destroys nothing
        }
    }
    // After Keep, closing asks no more and leaves the page.
    dialogs.chosenButtons = {0};
    form.e_Click();
    dialogs.shown.clear();
    EXPECT_TRUE(form.Form_Unload());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Closing, NewYesRestoresAndClearsEvenDuringABatch)
{
    form.List3.AddItem("x");
    form.List4.AddItem("y");
    form.nästa = 3;
    dialogs.answers = {Answer::Yes};
    form.Toolbar1_ButtonClick("NEW");
    EXPECT_EQ(readAll(path), original);
    EXPECT_FALSE(form.pageOpen());
    EXPECT_EQ(form.List3.ListCount(), 0);
    EXPECT_EQ(form.nästa, 1);
}

TEST_F(Closing, NothingWrittenMeansNothingToPutBack)
{
    // A read-only page, opened and left: every way out leaves it untouched (not even replaced by
    // the same bytes) and works.
    images({"a.gif"});
    const std::string ro = page("ro.html", original);
    std::filesystem::permissions(ro, std::filesystem::perms::owner_read);
    const FileStamp before = files.stamp(ro);
    dialogs.answers = {Answer::Yes};
    form.Command1_Click();
    dialogs.shown.clear();
    using Command = void (Form1::*)();
    for (Command command : {&Form1::Command1_Click, &Form1::n_Click, &Form1::e_Click, &Form1::Command1_Click}) {
        open(ro);
        dialogs.answers = {Answer::Yes};
        (form.*command)();
        EXPECT_EQ(readAll(ro), original);
    }
    open(ro);
    EXPECT_TRUE(form.Form_Unload());
    EXPECT_EQ(readAll(ro), original);
    EXPECT_TRUE(dialogs.shown.size() == 4 && dialogs.shown[0].text == "Do you want to reset ?") << dialogs.shown.size();
    EXPECT_EQ(host.ended, 1);
    EXPECT_TRUE(files.stamp(ro).sameLook(before));
}

TEST_F(Closing, FailedRestoreSaysSoAndChangesNothing)
{
    std::filesystem::rename(dir.path("p"), dir.path("moved"));
    dialogs.answers = {Answer::Yes, Answer::Yes};
    form.Command1_Click();
    // The page is gone: the change check asks first, then the write fails and says so.
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_NE(dialogs.shown[1].text.find("was changed by another program"), std::string::npos);
    EXPECT_EQ(dialogs.shown[2].title, "BRINDLEWORK");
    EXPECT_NE(dialogs.shown[2].text.find(path), std::string::npos);
    EXPECT_TRUE(form.pageOpen());
    EXPECT_EQ(form.List1.ListCount(), 1);

    dialogs.chosenButtons = {1};
    dialogs.answers = {Answer::Yes};
    form.e_Click();
    EXPECT_EQ(host.ended, 0);
    std::filesystem::rename(dir.path("moved"), dir.path("p"));
}

TEST_F(Editor, ExitWithNoPageEndsAtOnce)
{
    form.e_Click();
    EXPECT_EQ(host.ended, 1);
}

TEST_F(Editor, AltBoxChangeKeepsTheEmptyFlag)
{
    form.Text1.setText("x");
    EXPECT_FALSE(form.ingenalttext);
    form.Text1.setText("");
    EXPECT_TRUE(form.ingenalttext);
}

TEST_F(Editor, ShellLinksAndPreview)
{
    form.Toolbar1_ButtonClick("Preview");
    EXPECT_TRUE(shell.opened.empty());
    std::string path = page("with space.html", "<html></html>");
    open(path);
    form.Toolbar1_ButtonClick("PREVIEW");
    form.Command6_Click();
    form.su_Click();
    ASSERT_EQ(shell.opened.size(), 3u);
    EXPECT_EQ(shell.opened[0], path);
    EXPECT_EQ(shell.opened[1].substr(shell.opened[1].find(".example")), ".example/submit/homepage.html");
    EXPECT_EQ(shell.opened[2].substr(shell.opened[2].find(".example")), ".example/bw/alt_support.html");

    dialogs.answers = {Answer::No};
    form.Toolbar1_ButtonClick("OPEN");
    EXPECT_EQ(host.focus, (std::vector<std::string>{"Text1"}));
    form.ab_Click();
    EXPECT_EQ(host.abouts, 1);
}

} // namespace
} // namespace bw
