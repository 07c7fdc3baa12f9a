#include <gtest/gtest.h>

#include <functional>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "editor/Form1.h"
#include "support/EditorFixture.h"

namespace bw {
namespace {

using namespace std::string_literals;
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

// Short sessions: typed text ("=text"), NEXT (">") and BACK ("<"), then what the user sees and
// what the file holds. Each write changes one tag's ALT and nothing else.
TEST_F(Editing, SessionsWriteEachAltIntoItsOwnTag)
{
    struct Row {
        const char* name;
        std::string page;
        std::vector<std::string> steps;
        std::string file;        // the page file afterwards
        const char *counter, *box, *label;
        bool lastImage;          // "Last Image" was said
    };
    const std::string three = "<img SRC=\"a.gif\"><img SRC=\"b.gif\"><img SRC=\"c.jpg\"></html>";
    const Row rows[] = {
        {"NEXT writes into the tag", "<html><img SRC=\"a.gif\" width=10><img SRC=\"b.gif\"></html>", {"=Logo", ">"},
         "<html><img SRC=\"a.gif\" ALT=\"Logo\" width=10><img SRC=\"b.gif\"></html>", "Image 2 of 2", "", "b.gif", false},
        {"replace, then empty removes", "<img SRC=\"a.gif\" ALT=\"Old\" width=10><img SRC=\"b.gif\" ALT=\"Old2\"></html>",
         {"=New", ">", "=", "<", "=", ">"}, "<img SRC=\"a.gif\"width=10><img SRC=\"b.gif\"></html>", "Image 2 of 2", "", "b.gif", false},
        {"both ends", three, {"=T0", ">", "=T1", ">", "=T2", ">", "<", "<", "<"},
         "<img SRC=\"a.gif\" ALT=\"T0\"><img SRC=\"b.gif\" ALT=\"T1\"><img SRC=\"c.jpg\" ALT=\"T2\"></html>", "Image 1 of 3", "T0", "a.gif", true},
        {"the same text twice in a row", "<img SRC=\"a.gif\" ALT=\"Same\"><img SRC=\"b.gif\"><img SRC=\"c.jpg\"></html>",
         {">", "=Same", ">"}, "<img SRC=\"a.gif\" ALT=\"Same\"><img SRC=\"b.gif\" ALT=\"Same\"><img SRC=\"c.jpg\"></html>", "Image 3 of 3", "", "c.jpg", false},
        {"written twice into an unquoted tag", "<img SRC=a.gif></html>", {"=x", ">", "=y", ">"}, "<img SRC=a.gif ALT=\"y\"></html>",
         "Image 1 of 1", "y", "a.gif", true},
        {"an ALT before the name, written twice", "<p><img src=\"b.gif\"></p><img ALT=\"x\" SRC=\"a.gif\"><img ALT=\"x\" SRC=\"a.gif\"></html>",
         {">", "=one", ">", "=two", ">", "<", ">"}, "<p><img src=\"b.gif\"></p><img ALT=\"two\" SRC=\"a.gif\"><img ALT=\"two\" SRC=\"a.gif\"></html>",
         "Image 2 of 2", "two", "a.gif", true},
        {"no end tag", "<img SRC=\"a.gif\"> no end tag here", {"=A", ">"}, "<img SRC=\"a.gif\" ALT=\"A\"> no end tag here", "Image 1 of 1", "A", "a.gif", true},
        {"text after the end", "<html><img SRC=\"a.gif\"></html>\n<!-- after the end -->\n", {"=A", ">"},
         "<html><img SRC=\"a.gif\" ALT=\"A\"></html>\n<!-- after the end -->\n", "Image 1 of 1", "A", "a.gif", true},
        {"a background is never selected", "<body background=\"bg.gif\"><img SRC=\"a.gif\"><img SRC=\"b.gif\"></body></html>",
         {">", ">", "<", "<"}, "<body background=\"bg.gif\"><img SRC=\"a.gif\"><img SRC=\"b.gif\"></body></html>", "Image 1 of 2", "", "a.gif", true},
        {"no images", "<html><p>no images</p></html>", {"=x", ">", "<"}, "<html><p>no images</p></html>", "Image 0 of 0", "x", "", true},
        {"a missing picture", "<img SRC=\"a.gif\"><img SRC=\"gone.gif\"></html>", {">"}, "<img SRC=\"a.gif\"><img SRC=\"gone.gif\"></html>",
         "Image 2 of 2", "", "gone.gif", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        form.nytt();
        dialogs.shown.clear();
        open(row.page);
        for (const std::string& step : row.steps) {
            if (step[0] == '=')
                type(step.substr(1));
            else
                step == ">" ? form.Command3_Click() : form.Command5_Click();
        }
        EXPECT_EQ(onDisk(), row.file);
        EXPECT_EQ(form.texten10, row.file);
        EXPECT_EQ(form.Label1.Caption, row.counter);
        EXPECT_EQ(form.Text1.Text(), row.box);
        EXPECT_EQ(form.Label5.Caption, row.label);
        EXPECT_EQ(dialogs.saw("Last Image", "BRINDLEWORK"), row.lastImage);
        EXPECT_EQ(host.focus.back(), "Text1");
    }
    // A missing picture clears the view but keeps the name; no page, no harm.
    EXPECT_TRUE(form.Picture1.Picture.empty());
    EXPECT_FALSE(form.visa);
    form.nytt();
    dialogs.shown.clear();
    form.Command3_Click();
    form.Command5_Click();
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Editing, OddTagLayoutsStayWellFormed)
{
    struct Case {
        std::string tag, typed, expected;
    };
    const Case cases[] = {
        {"<img SRC=a.gif>", "x", "<img SRC=a.gif ALT=\"x\">"},
        {"<img SRC=a.gif width=1>", "x", "<img SRC=a.gif ALT=\"x\" width=1>"},
        {"<img SRC=\"a.gif\" alt='old' width=1>", "new", "<img SRC=\"a.gif\" alt=\"new\" width=1>"},
        // Tags written today: the new ALT follows the name in its letter case, stays before a
        // closing "/", and an ALT without a value gets one.
        {"<img src=\"a.png\" class=x>", "x", "<img src=\"a.png\" alt=\"x\" class=x>"},
        {"<img Src=a.svg />", "x", "<img Src=a.svg Alt=\"x\" />"},
        {"<img src=a.png/>", "x", "<img src=a.png alt=\"x\"/>"},
        {"<img class=x/>", "x", "<img class=x alt=\"x\"/>"},
        {"<IMG>", "x", "<IMG ALT=\"x\">"},
        {"<img alt src=\"a.webp\">", "x", "<img alt=\"x\" src=\"a.webp\">"},
        {"<img data-src=\"a.png\" src=\"\">", "x", "<img data-src=\"a.png\" alt=\"x\" src=\"\">"},
        {"<input type=image src=go.png>", "Go", "<input type=image src=go.png alt=\"Go\">"},
        {"<img alt=\"x\"src=\"a.png\">", "", "<img src=\"a.png\">"},
        {"<img title=\"a > b\" src=\"a.png\">", "x", "<img title=\"a > b\" src=\"a.png\" alt=\"x\">"},
        {"<img SRC=\"a.gif\" width=1 ALT=\"old\" height=2>", "", "<img SRC=\"a.gif\" width=1 height=2>"},
        {"<img SRC=\"a.gif\" ALT=\"a\" ALT=\"b\">", "c", "<img SRC=\"a.gif\" ALT=\"c\">"},
        {"<img SRC=\"a.gif\" ALT=\"\">", "", "<img SRC=\"a.gif\" ALT=\"\">"},
        {"<img SRC=\"a.gif\">", "say \"hi\" <b>", "<img SRC=\"a.gif\" ALT=\"say &quot;hi&quot; &lt;b>\">"},
        {"<img SRC=\"a.gif\">", "Brindlewörk", "<img SRC=\"a.gif\" ALT=\"Brindlewörk\">"},
        // Into the tag that is shown, never into the next one or inside a value.
        {"<img SRC=\"x.png\"><img SZC=\"a.gif.bak\" width=1>", "x", "<img SRC=\"x.png\" ALT=\"x\"><img SZC=\"a.gif.bak\" width=1>"},
        // Pasted control characters: breaks and tabs are one space each, the rest go.
        {"<img SRC=\"a.gif\">", "a\0b\r\nc\td\x7f\x01\xc2\x85" "e\xc2\x9f\n"s, "<img SRC=\"a.gif\" ALT=\"ab c d e \">"},
        // An ALT the box shows as it stands is not touched, not even re-escaped.
        {"<img SRC=\"a.gif\" ALT=\"x < y\" alt=dup>", "x < y", "<img SRC=\"a.gif\" ALT=\"x < y\" alt=dup>"},
        {"<img SRC=\"a.gif\" ALT=\"&#8364; &quot;\">", "€ \"", "<img SRC=\"a.gif\" ALT=\"&#8364; &quot;\">"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        form.nytt();
        open("<p>" + c.tag + "</p>");
        type(c.typed);
        form.Command3_Click(); // last image: written, then "Last Image"
        // A tag left as it was is not written at all.
        EXPECT_EQ(onDisk(), "<p>" + c.expected + "</p>");
    }
}

TEST_F(Editing, RepeatedTagIsWrittenIntoEveryIdenticalCopy)
{
    // Listed once; every identical copy changes as the first does, a different tag (listed on
    // its own) does not, and a copy in a comment is no image at all.
    const std::string bullet = "<img SRC=\"a.gif\" ALT=\"*\">";
    const std::string commented = "<!-- " + bullet + " -->";
    open(commented + bullet + "<p>x</p>" + bullet + "<img SRC=\"a.gif\" width=1>" + bullet + "<img SRC=\"b.gif\"></html>");
    ASSERT_EQ(form.List1.ListCount(), 3);
    const std::string other = "<img SRC=\"a.gif\" width=1>";
    for (auto [typed, tag] : {std::pair{"Dot", "<img SRC=\"a.gif\" ALT=\"Dot\">"}, {"", "<img SRC=\"a.gif\">"},
                              {"Dot", "<img SRC=\"a.gif\" ALT=\"Dot\">"}}) {
        type(typed);
        form.Command3_Click();
        form.Command5_Click();
        const std::string t = tag;
        EXPECT_EQ(onDisk().substr(0, onDisk().find("</html>")),
                  commented + t + "<p>x</p>" + t + other + t + "<img SRC=\"b.gif\">");
    }
}

TEST_F(Editing, FailedWriteStaysOnTheImageAndChangesNothing)
{
    path = dir.write("sub/page.html", "<img SRC=\"a.gif\"><img SRC=\"b.gif\"></html>");
    dir.write("sub/a.gif", kGif);
    openFile(path);
    type("A");
    std::filesystem::rename(dir.path("sub"), dir.path("gone"));
    dialogs.answers = {Answer::Yes}; // the page is gone: overwrite it anyway
    form.Command3_Click();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].title, "BRINDLEWORK");
    EXPECT_NE(dialogs.shown[1].text.find("could not be written"), std::string::npos);
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
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\" ALT=\"x\"><img SRC=\"b.gif\" ALT=\"\"><img SRC=\"c.jpg\"></html>");
    // The decorative mark survives moving on with the box still empty.
    form.Command3_Click();
    EXPECT_NE(onDisk().find("<img SRC=\"b.gif\" ALT=\"\">"), std::string::npos);
    // Kept edits survive closing the window.
    form.Form_Unload();
    EXPECT_NE(onDisk().find("ALT=\"\""), std::string::npos);
}

TEST_F(Editing, FileSaveWritesAndKeepsWithoutAsking)
{
    form.s_Click();
    EXPECT_TRUE(dialogs.shown.empty());
    open("<img SRC=\"a.gif\"></html>");
    type("A");
    form.s_Click();
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\" ALT=\"A\"></html>");
    EXPECT_TRUE(form.ändrat);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(form.h.Enabled);
    EXPECT_TRUE(form.Form_Unload()); // saved means kept: closing asks nothing and leaves it
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\" ALT=\"A\"></html>");
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
    EXPECT_EQ(readAll(copy), "<img SRC=\"a.gif\" ALT=\"A\"><img SRC=\"b.gif\" ALT=\"B\"></html>");
    EXPECT_EQ(onDisk(), original);
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

    EXPECT_EQ(dialogs.shown.back().defaultAnswer, Answer::No);

    // Cancelled: nothing is asked or written.
    dialogs.shown.clear();
    dialogs.chosen.push_back(std::nullopt);
    form.fileSaveas();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(readAll(copy), "keep me");
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\"></html>");
    EXPECT_TRUE(form.pageOpen());
}

TEST_F(Editing, SaveAsOverThePageItselfKeepsTheEdits)
{
    open("<img SRC=\"a.gif\"></html>");
    type("A");
    dialogs.chosen.push_back(path); // the page's own name, which the dialog offers
    dialogs.answers = {Answer::Yes, Answer::Yes};
    form.fileSaveas();
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\" ALT=\"A\"></html>");
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

TEST_F(Editing, AnotherProgramsChangeIsNeverOverwrittenUnasked)
{
    const std::string page = "<img SRC=\"a.gif\"><img SRC=\"b.gif\"></html>";
    const std::string theirs = "<img SRC=\"a.gif\"><img SRC=\"b.gif\"></html><!-- from vi -->";
    open(page);
    type("A");
    dir.write("page.html", theirs);
    dialogs.answers = {Answer::No};
    form.Command3_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, path + " was changed by another program since it was opened. Overwrite it "
                                            "with this window's text?");
    EXPECT_EQ(dialogs.shown[0].title, "BRINDLEWORK");
    EXPECT_EQ(dialogs.shown[0].defaultAnswer, Answer::No);
    EXPECT_EQ(onDisk(), theirs);
    EXPECT_EQ(form.List1.ListIndex(), 0);
    EXPECT_EQ(form.Text1.Text(), "A");

    dialogs.answers = {Answer::Yes};
    form.Command3_Click();
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\" ALT=\"A\"><img SRC=\"b.gif\"></html>");
    EXPECT_EQ(form.List1.ListIndex(), 1);

    // Touched, not changed: nothing to ask.
    const timespec later[2] = {{::time(nullptr) + 60, 0}, {::time(nullptr) + 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), later, 0), 0);
    dialogs.shown.clear();
    type("B");
    form.Command5_Click();
    EXPECT_TRUE(dialogs.shown.empty());

    // Every way of putting the page back asks as well; No leaves their bytes.
    dialogs.answerer = [this] {
        return dialogs.shown.back().text.find("changed by another program") == std::string::npos ? Answer::Yes
                                                                                                 : Answer::No;
    };
    for (const std::function<void()>& command : std::initializer_list<std::function<void()>>{
             [this] { form.Command1_Click(); }, [this] { form.n_Click(); }, [this] { form.e_Click(); },
             [this] { form.Form_Unload(); }}) {
        dir.write("page.html", theirs);
        dialogs.chosenButtons = {1}; // Take Out, where closing asks
        command();
        EXPECT_EQ(onDisk(), theirs);
        EXPECT_TRUE(form.pageOpen());
    }
    EXPECT_EQ(host.ended, 0);
}

TEST_F(Editing, EightBitPagesGetAltsInTheirOwnEncoding)
{
    const struct {
        std::string page, shown, typed, written;
    } cases[] = {
        {"<meta charset=\"iso-8859-1\"><img SRC=\"a.gif\" ALT=\"caf\xe9\"></html>", "caf\xc3\xa9",
         "Cr\xc3\xa8me br\xc3\xbbl\xc3\xa9" "e \xe2\x82\xac" "5", "Cr\xe8me br\xfbl\xe9" "e &#8364;5"},
        {"<p>caf\xe9</p><img SRC=\"a.gif\" ALT=\"\x80\"></html>", "\xe2\x82\xac", "\xe2\x82\xac \xe4\xb8\xad",
         "\x80 &#20013;"},
        {"<p>caf\xc3\xa9</p><img SRC=\"a.gif\"></html>", "", "\xe2\x82\xac", "\xe2\x82\xac"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        form.nytt();
        open(c.page);
        EXPECT_EQ(form.Text1.Text(), c.shown);
        type(c.typed);
        form.Command3_Click();
        EXPECT_NE(onDisk().find("ALT=\"" + c.written + "\""), std::string::npos) << onDisk();
        form.Command5_Click(); // shown back as typed
        EXPECT_EQ(form.Text1.Text(), c.typed);
    }
}

TEST_F(Editing, SaveAsKeepsAKeepAndSavingOverThePageMovesWhatIsPutBack)
{
    const std::string original = "<img SRC=\"a.gif\"></html>";
    open(original);
    type("Kept");
    dialogs.answers = {Answer::Yes};
    form.Command4_Click();
    const std::string kept = onDisk();
    dialogs.chosen.push_back(dir.path("copy.html"));
    dialogs.answers = {Answer::No}; // no reset
    form.fileSaveas();
    form.Form_Unload();
    EXPECT_EQ(onDisk(), kept) << "closing keeps the kept edits";
    EXPECT_EQ(readAll(dir.path("copy.html")), kept);

    // Saved over the page itself, then not reset: that text is what is put back.
    form.nytt();
    open(original);
    type("Saved");
    dialogs.chosen.push_back(path);
    dialogs.answers = {Answer::Yes, Answer::No};
    form.fileSaveas();
    const std::string saved = onDisk();
    ASSERT_NE(saved.find("ALT=\"Saved\""), std::string::npos);
    type("Later");
    form.Command3_Click();
    dialogs.chosenButtons = {1}; // Take Out
    form.e_Click();
    EXPECT_EQ(host.ended, 1);
    EXPECT_EQ(onDisk(), saved);
}

TEST_F(Editing, WritesGoToExactlyTheFileNamed)
{
    open("<img SRC=\"a.gif\"></html>");
    const std::string lower = dir.write("copy.html", "someone else's");
    type("A");
    dialogs.chosen.push_back(dir.path("Copy.html"));
    dialogs.answers = {Answer::No};
    form.fileSaveas();
    EXPECT_FALSE(dialogs.saw("Are you sure you want to do this ?", "BRINDLEWORK"));
    EXPECT_EQ(readAll(lower), "someone else's");
    EXPECT_EQ(readAll(dir.path("Copy.html")), "<img SRC=\"a.gif\" ALT=\"A\"></html>");

    // Another letter case of the page's name is another file: the page is put back as usual.
    dialogs.chosen.push_back(dir.path("PAGE.html"));
    dialogs.answers = {Answer::Yes};
    form.fileSaveas();
    EXPECT_EQ(onDisk(), "<img SRC=\"a.gif\"></html>");
    EXPECT_EQ(readAll(dir.path("PAGE.html")), "<img SRC=\"a.gif\" ALT=\"A\"></html>");
}

TEST_F(Editing, NamesWithDotsOrRelativeFoldersShowTheirPictures)
{
    images({"my.photo.gif", "sub/b.jpg"});
    path = dir.write("sub/page.html", "<img SRC=\"../my.photo.gif\"><img SRC=\"./b.jpg\"><img SRC=\"v1.2/c.GIF\"></html>");
    openFile(path);
    EXPECT_EQ(form.List2.items(), (std::vector<std::string>{"../my.photo.gif", "./b.jpg", "v1.2/c.GIF"}));
    EXPECT_EQ(form.Picture1.Picture, dir.path("sub/../my.photo.gif"));
    form.Command3_Click();
    EXPECT_EQ(form.Picture1.Picture, dir.path("sub/./b.jpg"));
}

TEST_F(Editing, BackgroundEntriesNeverGetAnAlt)
{
    open("<body background=\"bg.gif\"><p>text</p></body>");
    type("typed");
    form.Command3_Click();
    dialogs.answers = {Answer::Yes};
    form.Command4_Click();
    EXPECT_EQ(onDisk(), "<body background=\"bg.gif\"><p>text</p></body>");
}

TEST_F(Editing, OpeningRemovesCopiesThatKilledRunsLeft)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    const std::string left = dir.write(RealFileSystem::copyPrefix("page.html", child) + "Xy12z9", "35 MB of it");
    open("<img SRC=\"a.gif\"></html>");
    EXPECT_FALSE(std::filesystem::exists(left));
}

} // namespace
} // namespace bw
