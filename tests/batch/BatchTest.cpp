// The local batch window, "Move to next file" and batchopen, on real files.
#include <gtest/gtest.h>

#include <map>

#include "batch/Form3.h"
#include "batch/FtpBatchSource.h"
#include "support/EditorFixture.h"

namespace bw {
namespace {

using test::kGif;
using test::readAll;

struct Batch : test::EditorFixture {
    std::unique_ptr<form3> opened = load();
    int unloads = 0;

    // Each opening of the batch window starts with empty lists.
    std::unique_ptr<form3> load()
    {
        auto w = std::make_unique<form3>(Platform{dialogs, files, shell, host, settings}, form);
        w->Unload = [this] { ++unloads; };
        return w;
    }

    std::string page(const std::string& name, const std::string& html) { return dir.write(name, html); }
    // "Add files" choosing these pages in one dialog, then "OK".
    void start(const std::vector<std::string>& names)
    {
        std::vector<std::string> paths;
        for (const auto& name : names)
            paths.push_back(dir.path(name));
        dialogs.chosenMany.push_back(paths);
        auto w = load();
        w->Command1_Click();
        w->OKButton_Click();
        opened = std::move(w);
    }
    // Every file of the temp folder with its bytes.
    std::map<std::string, std::string> disk() const
    {
        std::map<std::string, std::string> all;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
            if (entry.is_regular_file())
                all[entry.path().string()] = readAll(entry.path().string());
        return all;
    }
    bool sawTitle(const std::string& title) const
    {
        for (const auto& box : dialogs.shown)
            if (box.title == title)
                return true;
        return false;
    }
};

struct Temp : FtpBatchSource {
    std::string path;
    std::string tempPath() const override { return path; }
};

TEST_F(Batch, WalksThePagesEachWithItsOwnFolderUpToTheEnd)
{
    struct Step {
        const char* progress;
        const char* page;   // Text6, under the temp folder
        const char* folder; // sökvägbild, under the temp folder
    };
    struct Row {
        const char* name;
        std::vector<std::string> pages;
        std::vector<Step> steps; // after "OK", then after each "Move to next file"
    };
    const Row rows[] = {
        {"three pages in two folders",
         {"a/one.html", "b/two.html", "a/three.html"},
         {{"1 / 3", "a/one.html", "a/"},
          {"2 / 3", "b/two.html", "b/"},
          {"3 / 3", "a/three.html", "a/"},
          {"3 / 3", "a/three.html", "a/"}}},
        {"one page", {"b/two.html"}, {{"1 / 1", "b/two.html", "b/"}, {"1 / 1", "b/two.html", "b/"}}},
        {"the same page twice",
         {"a/one.html", "a/one.html"},
         {{"1 / 2", "a/one.html", "a/"}, {"2 / 2", "a/one.html", "a/"}, {"2 / 2", "a/one.html", "a/"}}},
    };
    for (const char* name : {"a/one.html", "b/two.html", "a/three.html"})
        page(name, "<html><img SRC=\"pic.gif\"><img SRC=\"more.gif\"></html>");
    images({"a/pic.gif", "b/pic.gif", "a/more.gif", "b/more.gif"});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        form.nytt();
        start(row.pages);
        EXPECT_EQ(unloads, 1 + static_cast<int>(&row - rows));
        for (size_t i = 0; i < row.steps.size(); ++i) {
            SCOPED_TRACE(i);
            if (i > 0) {
                // What is typed goes into the page before the batch moves on.
                form.Text1.setText("Typed " + std::to_string(i));
                const std::string left = form.Text6.Text();
                form.Command7_Click();
                EXPECT_NE(readAll(left).find("ALT=\"Typed " + std::to_string(i) + "\""), std::string::npos);
            }
            const Step& step = row.steps[i];
            EXPECT_EQ(form.Label3.Caption, step.progress);
            EXPECT_EQ(form.nästa, std::atoi(step.progress));
            EXPECT_EQ(form.Text6.Text(), dir.path(step.page));
            EXPECT_EQ(form.sökvägbild, dir.path(step.folder));
            EXPECT_EQ(form.List2.items(), (std::vector<std::string>{"pic.gif", "more.gif"}));
            EXPECT_EQ(form.List1.ListIndex(), 0);
            EXPECT_EQ(form.Picture1.Picture, dir.path(std::string(step.folder) + "pic.gif"));
            EXPECT_EQ(form.Label5.Caption, "pic.gif");
            EXPECT_TRUE(form.Label3.Visible);
            EXPECT_TRUE(form.Command7.Visible);
        }
        EXPECT_EQ(form.List3.ListCount(), static_cast<int>(row.pages.size()));
        // Moving on from the last page says the batch is done, and how large it was.
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_NE(dialogs.shown[0].text.find("The batch is done: all " + std::to_string(row.pages.size())),
                  std::string::npos);
        dialogs.shown.clear();
    }
}

TEST_F(Batch, ClosingAnEditedBatchPagePutsBackThatPageOnly)
{
    struct Row {
        const char* name;
        std::function<void()> close;
    };
    const Row rows[] = {
        {"Exit, Take Out", [this] {
             dialogs.chosenButtons.push_back(1);
             form.e_Click();
         }},
        {"RESET", [this] {
             dialogs.answers.push_back(Answer::Yes);
             form.Command1_Click();
         }},
        {"New", [this] {
             dialogs.answers.push_back(Answer::Yes);
             form.n_Click();
         }},
        {"closing the window, Take Out", [this] {
             dialogs.chosenButtons.push_back(1);
             form.Form_Unload();
         }},
    };
    images({"a/pic.gif", "b/pic.gif"});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string one = "<html><img SRC=\"pic.gif\" ALT=\"first\"></html>";
        const std::string two = "<p>Second</p><img SRC=\"pic.gif\"><img SRC=\"pic.gif\" width=1>";
        const std::string three = "<img SRC=\"pic.gif\">";
        page("a/one.html", one);
        page("b/two.html", two);
        page("a/three.html", three);
        form.nytt();
        start({"a/one.html", "b/two.html", "a/three.html"});
        form.Command7_Click();
        form.Text1.setText("A picture");
        form.Command3_Click();
        ASSERT_NE(readAll(dir.path("b/two.html")).find("ALT=\"A picture\""), std::string::npos);
        row.close();
        EXPECT_EQ(readAll(dir.path("b/two.html")), two);
        EXPECT_EQ(readAll(dir.path("a/one.html")), one);
        EXPECT_EQ(readAll(dir.path("a/three.html")), three);
    }
}

TEST_F(Batch, EveryPageStartsAtItsFirstImageWhateverThePageBeforeHad)
{
    struct Row {
        const char* name;
        std::string first, second; // pages of the batch
        int index;                 // selected on the second page
        const char* counter;
    };
    const std::string plain = "<img SRC=\"a.gif\"><img SRC=\"b.gif\"><img SRC=\"c.gif\">";
    const std::string background = "<body background=\"bg.gif\"><img SRC=\"a.gif\"><img SRC=\"b.gif\">";
    const Row rows[] = {
        {"plain after background", background, plain, 0, "Image 1 of 3"},
        {"plain after plain", plain, plain, 0, "Image 1 of 3"},
        {"background after plain", plain, background, 1, "Image 1 of 2"},
        {"background after background", background, background, 1, "Image 1 of 2"},
    };
    images({"a.gif", "b.gif", "c.gif", "bg.gif"});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        page("first.html", row.first);
        page("second.html", row.second);
        form.nytt();
        start({"first.html", "second.html"});
        // Walk the first page to its last image.
        for (int i = 0; i < 3; ++i)
            form.Command3_Click();
        dialogs.shown.clear();
        form.Command7_Click();
        EXPECT_EQ(form.bild, 0);
        EXPECT_EQ(form.List1.ListIndex(), row.index);
        EXPECT_EQ(form.Label1.Caption, row.counter);
        form.Command3_Click();
        EXPECT_EQ(form.List1.ListIndex(), row.index + 1);
        form.Command5_Click();
        EXPECT_EQ(form.List1.ListIndex(), row.index);
        EXPECT_FALSE(dialogs.saw("Last Image", "BRINDLEWORK"));
        EXPECT_EQ(form.Picture1.Picture, dir.path("a.gif"));
    }
    // A batch after one whose first page had a background.
    form.nytt();
    page("first.html", background);
    start({"first.html"});
    EXPECT_TRUE(form.bakgrund);
    page("second.html", plain);
    start({"second.html"});
    EXPECT_FALSE(form.bakgrund);
    EXPECT_EQ(form.List1.ListIndex(), 0);
    EXPECT_EQ(form.Label1.Caption, "Image 1 of 3");
}

TEST_F(Batch, OkStartsAFreshBatch)
{
    images({"a/pic.gif", "b/pic.gif"});
    page("a/one.html", "<img SRC=\"pic.gif\">");
    page("a/two.html", "<img SRC=\"pic.gif\">");
    page("b/three.html", "<img SRC=\"pic.gif\">");
    start({"a/one.html", "a/two.html"});
    form.Command7_Click();
    ASSERT_EQ(form.nästa, 2);
    start({"b/three.html"});
    EXPECT_EQ(form.List3.items(), (std::vector<std::string>{dir.path("b/three.html")}));
    EXPECT_EQ(form.List4.items(), (std::vector<std::string>{"three.html"}));
    EXPECT_EQ(form.nästa, 1);
    EXPECT_EQ(form.Label3.Caption, "1 / 1");
    EXPECT_EQ(form.sökvägbild, dir.path("b/"));
    EXPECT_EQ(form.ejspara, "<img SRC=\"pic.gif\">");
    form.Command7_Click();
    EXPECT_EQ(form.Text6.Text(), dir.path("b/three.html"));
}

TEST_F(Batch, FindsTheImagesAsAnOpenedPageDoes)
{
    images({"a.gif", "Pics/B.GIF"});
    page("today.html", "<img src=\"a.gif\"><IMG SRC=\"Pics/B.GIF\"><picture><source srcset=x.webp><img src=c.png></picture>");
    start({"today.html"});
    EXPECT_EQ(form.sökvägbild, dir.path());
    EXPECT_EQ(form.List2.items(), (std::vector<std::string>{"a.gif", "Pics/B.GIF", "c.png"}));
    EXPECT_EQ(form.Label1.Caption, "Image 1 of 3");
    EXPECT_EQ(form.Picture1.Picture, dir.path("a.gif"));

    // A page without images counts none.
    page("none.html", "<p>no pictures</p>");
    start({"none.html"});
    EXPECT_EQ(form.Label1.Caption, "Image 0 of 0");
}

TEST_F(Batch, MoveToNextFileShowsThePictureOfTheFirstTagHowEverItIsWritten)
{
    struct Row {
        const char* name;
        std::string html;
        const char* picture; // "" for none
        bool box;            // "Pic Not Found"
    };
    const Row rows[] = {
        {"quoted", "<img SRC=\"a.gif\"><img SRC=\"b.gif\">", "a.gif", false},
        {"no dot after the tag at all", "<img SRC=noname><p>text</p>", "", false},
        {"the dot before nine characters", "<img SRC=.><img SRC=\"a.gif\">", "", false},
        {"background with a missing picture", "<body background=\"bg.gif\"><img SRC=\"gone.gif\">", "", true},
        {"background and picture", "<body background=\"bg.gif\"><img SRC=\"b.gif\">", "b.gif", false},
    };
    images({"a.gif", "b.gif", "bg.gif"});
    page("first.html", "<img SRC=\"a.gif\">");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        page("second.html", row.html);
        form.nytt();
        start({"first.html", "second.html"});
        dialogs.shown.clear();
        form.Command7_Click();
        EXPECT_TRUE(form.pageOpen());
        EXPECT_EQ(form.Text6.Text(), dir.path("second.html"));
        EXPECT_EQ(form.Picture1.Picture, *row.picture ? dir.path(row.picture) : "");
        EXPECT_EQ(dialogs.saw("BRINDLEWORK", "Pic Not Found"), row.box);
        EXPECT_TRUE(form.Picture1.Visible);
    }
}

TEST_F(Batch, PagesThatCannotBeOpenedAreToldAndSkippedWithoutWritingAnything)
{
    images({"pic.gif"});
    page("one.html", "<img SRC=\"pic.gif\">");
    page("binary.html", std::string("<img SRC=\"pic.gif\">\0\x01", 21));
    page("two.html", "<img SRC=\"pic.gif\" ALT=\"two\">");
    page("Three.html", "<img SRC=\"pic.gif\">"); // not three.html: batch pages are named exactly
    std::filesystem::create_directories(dir.path("folder.html"));
    const auto before = disk();
    struct Step {
        const char* progress;
        const char* page; // nullptr: none open
        size_t told;
    };
    // Each page that cannot be opened is told and skipped, up to the next that can.
    start({"gone.html", "one.html", "binary.html", "folder.html", "two.html", "three.html"});
    const Step steps[] = {{"2 / 6", "one.html", 1}, {"5 / 6", "two.html", 2}, {"6 / 6", nullptr, 1}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.progress);
        if (&step != steps)
            form.Command7_Click();
        EXPECT_EQ(form.Label3.Caption, step.progress);
        EXPECT_EQ(form.Text6.Text(), step.page ? dir.path(step.page) : "");
        ASSERT_EQ(dialogs.shown.size(), step.told);
        for (const auto& told : dialogs.shown)
            EXPECT_EQ(told.title, "BRINDLEWORK");
        dialogs.shown.clear();
    }
    // With no page open nothing of the page before may be written anywhere.
    EXPECT_TRUE(form.List1.items().empty());
    form.Text1.setText("typed");
    form.Command3_Click();
    form.Command4_Click();
    form.s_Click();
    form.Form_Unload();
    form.e_Click();
    EXPECT_EQ(disk(), before);
    EXPECT_FALSE(std::filesystem::exists(dir.path("gone.html")));
}

TEST_F(Batch, BatchopenReadsThePageFromTheTempPath)
{
    struct Row {
        const char* name;
        std::string html;
        std::vector<std::string> names; // image name list
        int index;
        bool box; // "Pic Not Found"
    };
    const Row rows[] = {
        {"jpg after gifs", "<img SRC=\"x.gif\"><img SRC=\"pics/y.jpg\">", {"x.gif", "pics/y.jpg"}, 0, false},
        {"a dotted folder", "<img SRC=\"v1.2/x.gif\">", {"v1.2/x.gif"}, 0, false},
        {"missing picture", "<img SRC=\"gone.gif\">", {"gone.gif"}, 0, true},
        {"background", "<body background=\"x.gif\"><img SRC=\"pics/y.jpg\">", {"x.gif", "pics/y.jpg"}, 1, false},
        {"no images", "<p>none</p>", {}, -1, false},
    };
    Temp temp;
    temp.path = dir.path("ftp/");
    dir.write("ftp/x.gif", kGif);
    dir.write("ftp/pics/y.jpg", kGif);
    dir.write("ftp/v1.2/x.gif", kGif);
    // The open dialog's last choice has nothing to do with the batch.
    form.CommonDialog1.FileName = "/some/unrelated/very-long-file-name-indeed.html";
    form.CommonDialog1.FileTitle = "very-long-file-name-indeed.html";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        form.nytt();
        dialogs.shown.clear();
        const std::string path = dir.write("ftp/page.html", row.html);
        form.List1.Clear();
        form.Text6.setText("page.html");
        form.batchopen(temp);
        EXPECT_EQ(form.Text6.Text(), path);
        EXPECT_EQ(form.sökvägbild, temp.path);
        EXPECT_EQ(form.ejspara, row.html);
        EXPECT_EQ(form.List2.items(), row.names);
        EXPECT_EQ(form.List1.ListIndex(), row.index);
        EXPECT_EQ(dialogs.saw("BRINDLEWORK", "Pic Not Found"), row.box);
    }

    // No page named: nothing happens.
    form.nytt();
    dialogs.shown.clear();
    form.batchopen(temp);
    EXPECT_FALSE(form.pageOpen());
    EXPECT_TRUE(dialogs.shown.empty());

    // What NEXT writes goes into the downloaded page, and Exit puts that page back.
    const std::string html = "<img SRC=\"x.gif\"><img SRC=\"pics/y.jpg\">";
    const std::string path = dir.write("ftp/page.html", html);
    form.Text6.setText("page.html");
    form.batchopen(temp);
    form.Text1.setText("An x");
    form.Command3_Click();
    EXPECT_EQ(readAll(path), "<img SRC=\"x.gif\" ALT=\"An x\"><img SRC=\"pics/y.jpg\">");
    dialogs.chosenButtons = {1}; // Take Out
    form.e_Click();
    EXPECT_EQ(readAll(path), html);
    EXPECT_FALSE(std::filesystem::exists(dir.path("page.html")));
}

TEST_F(Batch, AddFilesAppendsEveryChoiceAndCancelLeavesTheMainWindowAlone)
{
    dialogs.chosenMany = {{"/site/b.html", "/site/a.html"}, {}, {"/other/c.html"}, {"*.html"}, {"/site/b.html"}};
    for (int i = 0; i < 5; ++i)
        opened->Command1_Click();
    EXPECT_EQ(opened->List1.items(),
              (std::vector<std::string>{"/site/b.html", "/site/a.html", "/other/c.html", "/site/b.html"}));
    EXPECT_EQ(opened->List2.items(), (std::vector<std::string>{"b.html", "a.html", "c.html", "b.html"}));
    for (const FileDialog& asked : dialogs.openManyRequests) {
        EXPECT_EQ(asked.Filter, "HTML");
        EXPECT_EQ(asked.FileName, "*.html");
    }
    opened->CancelButton_Click();
    EXPECT_EQ(unloads, 1);
    EXPECT_EQ(form.List3.ListCount(), 0);
    EXPECT_FALSE(form.Command7.Visible);
    EXPECT_FALSE(form.Label3.Visible);
}

TEST_F(Batch, MenusAndTheEndOfABatch)
{
    form.l_Click();
    EXPECT_EQ(host.batchWindows, 1);

    // No file chosen: an empty batch, and no page.
    opened->OKButton_Click();
    EXPECT_EQ(form.Label3.Caption, "1 / 0");
    EXPECT_TRUE(form.List3.items().empty());
    EXPECT_FALSE(form.pageOpen());

    images({"pic.gif"});
    page("one.html", "<img SRC=\"pic.gif\">");
    page("two.html", "<img SRC=\"pic.gif\">");
    start({"one.html", "two.html"});
    form.Command7_Click();
    EXPECT_EQ(host.batchUnloads, 1);
    // A full clear ends the batch: the button stays and does nothing.
    form.nytt();
    form.Command7_Click();
    EXPECT_TRUE(form.Command7.Visible);
    EXPECT_FALSE(form.pageOpen());
    EXPECT_EQ(host.batchUnloads, 1);
}

} // namespace
} // namespace bw
