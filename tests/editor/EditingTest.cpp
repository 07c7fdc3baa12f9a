#include <gtest/gtest.h>

#include <filesystem>

#include "editor/AltEdit.h"
#include "editor/Form1.h"
#include "support/EditorFixture.h"

namespace bw {
namespace {

using test::kGif;
using test::readAll;

struct Editing : test::EditorFixture {
    std::string path;

    Editing() { images({"a.gif", "b.gif", "c.jpg", "bg.gif"}); }
    void open(const std::string& html)
    {
        path = dir.write("page.html", html);
        openFile(path);
    }
    void type(const std::string& text) { form.Text1.setText(text); }
    std::string onDisk() { return readAll(path); }
};

TEST_F(Editing, NextWritesTheTypedTextIntoTheTagAndNothingElse)
{
    open("<html><img SRC=\"a.gif\" width=10><img SRC=\"b.gif\"></html>");
    type("Logo");
    form.Command3_Click();
    EXPECT_EQ(onDisk(), "<html><img SRC=\"a.gif\" ALT=\"Logo\" width=10><img SRC=\"b.gif\"></html>\r\n");
    EXPECT_EQ(form.texten10, onDisk());
    EXPECT_EQ(form.Label1.Caption, "Image 2 of 2");
    EXPECT_EQ(form.Label5.Caption, "b.gif");
    EXPECT_EQ(host.focus.back(), "Text1");
}

TEST_F(Editing, ReplacingAndRemovingAnExistingAlt)
{
    open("<img SRC=\"a.gif\" ALT=\"Old\" width=10><img SRC=\"b.gif\" ALT=\"Old2\"></html>");
    EXPECT_EQ(form.Text1.Text(), "Old");
    EXPECT_EQ(form.aa, "11");
    type("New");
    form.Command3_Click();
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\" ALT=\"New\" width=10><img SRC=\"b.gif\" ALT=\"Old2\"></html>\r\n");

    type("");
    form.Command5_Click(); // the tag's closing ">" stays
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\" ALT=\"New\" width=10><img SRC=\"b.gif\"></html>\r\n\r\n");
    type("");
    form.Command3_Click();
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\"width=10><img SRC=\"b.gif\"></html>\r\n\r\n\r\n");
}

TEST_F(Editing, OddTagLayoutsStayWellFormed)
{
    struct Case {
        std::string tag, typed, expected;
    };
    const Case cases[] = {
        {"<img SRC=a.gif>", "x", "<img SRC=a.gif ALT=\"x\">"},
        {"<img SRC=a.gif width=1>", "x", "<img SRC=a.gif ALT=\"x\" width=1>"},
        {"<img SRC=\"a.gif\" alt='old' width=1>", "new", "<img SRC=\"a.gif\" ALT=\"new\" width=1>"},
        {"<img SRC=\"a.gif\" width=1 ALT=\"old\" height=2>", "", "<img SRC=\"a.gif\" width=1 height=2>"},
        {"<img SRC=\"a.gif\" ALT=\"a\" ALT=\"b\">", "c", "<img SRC=\"a.gif\" ALT=\"c\">"},
        {"<img SRC=\"a.gif\" ALT=\"\">", "", "<img SRC=\"a.gif\" ALT=\"\">"},
        {"<img SRC=\"a.gif\">", "say \"hi\" <b>", "<img SRC=\"a.gif\" ALT=\"say &quot;hi&quot; &lt;b>\">"},
        {"<img SRC=\"a.gif\">", "Brindlewörk", "<img SRC=\"a.gif\" ALT=\"Brindlewörk\">"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        form.nytt();
        open("<p>" + c.tag + "</p>");
        type(c.typed);
        form.Command3_Click(); // last image: written, then "Last Image"
        EXPECT_EQ(onDisk(), "<p>" + c.expected + "</p>\r\n");
    }
}

TEST_F(Editing, PagesWithoutEndTagOrWithTextAfterItKeepEveryByte)
{
    open("<img SRC=\"a.gif\"> no end tag here");
    type("A");
    form.Command3_Click();
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\" ALT=\"A\"> no end tag here\r\n");

    form.nytt();
    open("<html><img SRC=\"a.gif\"></html>\n<!-- after the end -->\n");
    type("A");
    form.Command3_Click();
    EXPECT_EQ(onDisk(), "<html><img SRC=\"a.gif\" ALT=\"A\"></html>\n<!-- after the end -->\n\r\n");
}

TEST_F(Editing, RepeatedTagIsWrittenAtItsFirstOccurrenceOnly)
{
    open("<img SRC=\"a.gif\"><p>x</p><img SRC=\"a.gif\"></html>");
    ASSERT_EQ(form.List1.ListCount(), 1);
    type("A");
    form.Command3_Click();
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\" ALT=\"A\"><p>x</p><img SRC=\"a.gif\"></html>\r\n");
}

TEST_F(Editing, LaterWritesFindTheTagAgainWhenTheAltLiesInsideTheEntry)
{
    open("<img SRC=a.gif></html>");
    type("x");
    form.Command3_Click();
    type("y");
    form.Command3_Click();
    EXPECT_EQ(onDisk(), "<img SRC=a.gif ALT=\"y\"></html>\r\n\r\n");

    form.nytt();
    open("<p><img src=\"b.gif\"></p><img ALT=\"x\" SRC=\"a.gif\"><img ALT=\"x\" SRC=\"a.gif\"></html>");
    form.Command3_Click();
    EXPECT_EQ(form.Text1.Text(), "x");
    for (const char* typed : {"one", "two"}) {
        type(typed);
        form.Command3_Click();
    }
    EXPECT_EQ(onDisk(), "<p><img src=\"b.gif\"></p><img ALT=\"two\" SRC=\"a.gif\"><img ALT=\"x\" SRC=\"a.gif\"></html>\r\n\r\n\r\n");
    form.Command5_Click();
    form.Command3_Click();
    EXPECT_EQ(form.Text1.Text(), "two");
}

TEST_F(Editing, SameTextOnTwoImagesInARowIsWrittenToBoth)
{
    open("<img SRC=\"a.gif\" ALT=\"Same\"><img SRC=\"b.gif\" ALT=\"Same\"><img SRC=\"c.jpg\"></html>");
    form.Command3_Click();
    form.Command3_Click();
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\" ALT=\"Same\"><img SRC=\"b.gif\" ALT=\"Same\"><img SRC=\"c.jpg\"></html>\r\n\r\n");
    EXPECT_EQ(form.Label1.Caption, "Image 3 of 3");
}

TEST_F(Editing, WalkingToBothEnds)
{
    open("<img SRC=\"a.gif\"><img SRC=\"b.gif\"><img SRC=\"c.jpg\"></html>");
    std::vector<std::string> counters;
    for (int i = 0; i < 2; ++i) {
        type("T" + std::to_string(i));
        form.Command3_Click();
        counters.push_back(form.Label1.Caption);
    }
    EXPECT_EQ(counters, (std::vector<std::string>{"Image 2 of 3", "Image 3 of 3"}));
    type("T2");
    form.Command3_Click();
    EXPECT_TRUE(dialogs.saw("Last Image", "BRINDLEWORK"));
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\" ALT=\"T0\"><img SRC=\"b.gif\" ALT=\"T1\"><img SRC=\"c.jpg\" ALT=\"T2\"></html>\r\n\r\n\r\n");
    EXPECT_EQ(form.bild, 2);

    form.Command5_Click();
    form.Command5_Click();
    EXPECT_EQ(form.Label1.Caption, "Image 1 of 3");
    EXPECT_EQ(form.Text1.Text(), "T0");
    std::string before = onDisk();
    dialogs.shown.clear();
    form.Command5_Click(); // first image: nothing is written
    EXPECT_EQ(onDisk(), before);
    EXPECT_TRUE(dialogs.saw("Last Image", "BRINDLEWORK"));
}

TEST_F(Editing, BackgroundEntryIsNeverSelectedByNextOrBack)
{
    open("<body background=\"bg.gif\"><img SRC=\"a.gif\"><img SRC=\"b.gif\"></body></html>");
    EXPECT_EQ(form.Label1.Caption, "Image 1 of 2");
    form.Command3_Click();
    EXPECT_EQ(form.Label1.Caption, "Image 2 of 2");
    form.Command3_Click();
    EXPECT_EQ(form.List1.ListIndex(), 2);
    form.Command5_Click();
    form.Command5_Click();
    EXPECT_EQ(form.List1.ListIndex(), 1);
    EXPECT_TRUE(dialogs.saw("Last Image", "BRINDLEWORK"));
}

TEST_F(Editing, NavigationWithoutImagesOrPageDoesNoHarm)
{
    form.Command3_Click();
    form.Command5_Click();
    EXPECT_EQ(host.focus.size(), 2u);
    EXPECT_TRUE(dialogs.shown.empty());

    open("<html><p>no images</p></html>");
    form.Command3_Click();
    form.Command5_Click();
    EXPECT_EQ(onDisk(), "<html><p>no images</p></html>");
}

TEST_F(Editing, MissingNextImageClearsThePictureButShowsItsName)
{
    open("<img SRC=\"a.gif\"><img SRC=\"gone.gif\"></html>");
    form.Command3_Click();
    EXPECT_FALSE(form.visa);
    EXPECT_TRUE(form.Picture1.Picture.empty());
    EXPECT_EQ(form.Label5.Caption, "gone.gif");
}

TEST_F(Editing, FailedWriteStaysOnTheImageAndChangesNothing)
{
    path = dir.write("sub/page.html", "<img SRC=\"a.gif\"><img SRC=\"b.gif\"></html>");
    dir.write("sub/a.gif", kGif);
    openFile(path);
    type("A");
    std::filesystem::rename(dir.path("sub"), dir.path("gone"));
    form.Command3_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "BRINDLEWORK");
    EXPECT_EQ(form.List1.ListIndex(), 0);
    EXPECT_EQ(form.texten10, "<img SRC=\"a.gif\"><img SRC=\"b.gif\"></html>");
    EXPECT_EQ(readAll(dir.path("gone/page.html")), form.texten10);
}

TEST_F(Editing, KeepButtonAsksMarksKeptAndWritesDecorativeAlt)
{
    open("<img SRC=\"a.gif\" ALT=\"x\"><img SRC=\"b.gif\"><img SRC=\"c.jpg\"></html>");
    form.Command3_Click();
    dialogs.answers = {Answer::No};
    form.Command4_Click();
    EXPECT_TRUE(dialogs.saw("Are you sure you want to do this ?", "BRINDLEWORK"));
    EXPECT_FALSE(form.ändrat);

    dialogs.answers = {Answer::Yes};
    form.Command4_Click();
    EXPECT_TRUE(form.ändrat);
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\" ALT=\"x\"><img SRC=\"b.gif\" ALT=\"\"><img SRC=\"c.jpg\"></html>\r\n\r\n");
    EXPECT_EQ(form.texten9, " ALT=\"\"><img SRC=\"c.jpg\"></html>\r\n\r\n");
    // The decorative mark survives moving on with the box still empty.
    form.Command3_Click();
    EXPECT_NE(onDisk().find("<img SRC=\"b.gif\" ALT=\"\">"), std::string::npos);
    // Kept edits survive closing the window.
    form.Form_Unload();
    EXPECT_NE(onDisk().find("ALT=\"\""), std::string::npos);
}

TEST_F(Editing, FileSaveWritesWithoutAskingOrKeeping)
{
    form.s_Click();
    EXPECT_TRUE(dialogs.shown.empty());
    open("<img SRC=\"a.gif\"></html>");
    type("A");
    form.s_Click();
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\" ALT=\"A\"></html>\r\n");
    EXPECT_FALSE(form.ändrat);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(form.h.Enabled);
    form.Form_Unload(); // not kept: the first-read text comes back
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\"></html>\r\n");
}

TEST_F(Editing, SaveAsToANewNameThenReset)
{
    const std::string original = "<img SRC=\"a.gif\"><img SRC=\"b.gif\"></html>";
    open(original);
    type("A");
    form.Command3_Click();
    type("B");
    const std::string copy = dir.path("copy.html");
    dialogs.chosen.push_back(copy);
    dialogs.answers = {Answer::Yes};
    form.Toolbar1_ButtonClick("save");
    EXPECT_TRUE(dialogs.saw("File saved, do u want to reset the app ?", "File Saved"));
    EXPECT_EQ(readAll(copy), "<img SRC=\"a.gif\" ALT=\"A\"><img SRC=\"b.gif\" ALT=\"B\"></html>\r\n\r\n\r\n");
    EXPECT_EQ(onDisk(), original + "\r\n");
    EXPECT_FALSE(form.pageOpen());
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].FileName, path) << "the dialog offers the page's own name";
}

TEST_F(Editing, SaveAsAnsweredNoOrCancelled)
{
    open("<img SRC=\"a.gif\"></html>");
    type("A");
    const std::string copy = dir.write("copy.html", "keep me");

    // No to the overwrite question: nothing is written anywhere.
    dialogs.chosen.push_back(copy);
    dialogs.answers = {Answer::No};
    form.fileSaveas();
    EXPECT_EQ(readAll(copy), "keep me");
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\"></html>");

    // Cancelled: the dialog returns its last name (the copy), which is asked about again.
    form.ändrat = true;
    dialogs.chosen.push_back(std::nullopt);
    dialogs.answers = {Answer::Yes, Answer::No};
    form.fileSaveas();
    EXPECT_FALSE(form.ändrat);
    EXPECT_EQ(readAll(copy), "<img SRC=\"a.gif\" ALT=\"A\"></html>\r\n\r\n");
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\" ALT=\"A\"></html>\r\n");
    EXPECT_TRUE(form.pageOpen());
}

TEST_F(Editing, SaveAsOverThePageItselfKeepsTheEdits)
{
    open("<img SRC=\"a.gif\"></html>");
    type("A");
    dialogs.chosen.push_back(std::nullopt); // offers the page's own name
    dialogs.answers = {Answer::Yes, Answer::Yes};
    form.fileSaveas();
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\" ALT=\"A\"></html>\r\n\r\n");
    EXPECT_FALSE(form.pageOpen());
}

TEST_F(Editing, SaveAsWithoutPageOrWithEmptyNameDoesNothing)
{
    form.fileSaveas();
    EXPECT_TRUE(dialogs.saveRequests.empty());
    form.CommonDialog1.FileName.clear();
    form.Text6.setText(dir.write("x.html", "<html></html>"));
    dialogs.chosen.push_back(std::nullopt);
    form.fileSaveas();
    EXPECT_EQ(readAll(dir.path("x.html")), "<html></html>");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST(AltEdit, EditsOnlyTheTagThatHoldsTheEntry)
{
    const std::string page = "<img SRC=\"a.png\" ALT=\"p\"><img SRC=\"b.gif\" ALT=\"g\">";
    const std::string entry = "<img SRC=\"a.png\" ALT=\"p\"><img SRC=\"b.gif\"";
    EXPECT_EQ(withAlt(page, 0, entry.size(), "new", EmptyBox::Remove).page,
              "<img SRC=\"a.png\" ALT=\"p\"><img SRC=\"b.gif\" ALT=\"new\">");
    EXPECT_EQ(withAlt("<img ALT=\"x\" SRC=\"a.gif\">", 0, 22, "", EmptyBox::Remove).page, "<img SRC=\"a.gif\">");
    EXPECT_EQ(withAlt("<img ALT=\"x\" SRC=\"a.gif\">", 0, 22, "", EmptyBox::Decorate).page,
              "<img ALT=\"\" SRC=\"a.gif\">");
}

} // namespace
} // namespace bw
