// The "Local Batch" window, offscreen: pages from two folders chosen, then worked from the
// main window with NEXT and "Move to next file".

#include "support/AppFixture.h"

namespace bw {
namespace {

using test::readAll;
using BatchGui = test::AppFixture<>;

TEST_F(BatchGui, LocalBatchWalk)
{
    namespace fs = std::filesystem;
    fs::copy(BW_SAMPLE_SITE, dir.path("site"), fs::copy_options::recursive);
    fs::copy(BW_SAMPLE_SITE, dir.path("other"), fs::copy_options::recursive);
    startApp();
    const std::string index = dir.path("site/index.html"), news = dir.path("other/news.html"),
                      about = dir.path("site/about.html");
    const std::string indexText = readAll(index), newsText = readAll(news), aboutText = readAll(about);
    auto press = [&](const char* name) { QTest::mouseClick(app->batchWindow()->findChild<QPushButton*>(name), Qt::LeftButton); };
    auto shown = [&] { return child<QLabel>("Label3")->text() + " " + child<QLabel>("Label1")->text(); };

    child<QAction>("l")->trigger();
    auto* list = app->batchWindow()->findChild<QListWidget*>("List1");
    // One dialog picks two pages, a second one more.
    dialogs.chosenMany = {{index, news}, {about}};
    press("Command1");
    press("Command1");
    const QString i = index.c_str(), n = news.c_str(), a = about.c_str();
    EXPECT_EQ(test::rows(list), (QStringList{i, n, a}));
    // Rows removed and moved by keys and buttons, the selection going with the row moved.
    auto add = [&](const std::string& page) { dialogs.chosenMany = {{page}}; press("Command1"); };
    const std::pair<std::function<void()>, QStringList> edits[] = {
        {[&] { test::clickRow(list, n); QTest::keyClick(list, Qt::Key_Delete); }, {i, a}},
        {[&] { add(news); QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier); }, {i, n, a}},
        {[&] { press("Command4"); }, {i, a, n}},
        {[&] { press("Command3"); add(about); QTest::keyClick(list, Qt::Key_Up); }, {i, n, a}},
    };
    for (const auto& [edit, shown] : edits) {
        edit();
        EXPECT_EQ(test::rows(list), shown);
    }
    EXPECT_FALSE(app->batchWindow()->findChild<QPushButton*>("Command4")->isEnabled()) << "the first row cannot go up";
    press("OKButton");
    settle();
    EXPECT_EQ(app->batchWindow(), nullptr) << "OK closes the window";
    EXPECT_EQ(shown(), "1 / 3 Image 1 of 4");
    QTRY_VERIFY(!app->editor().siteIndexing()); // so that news.html's ALT for the sun stands offered

    // Each page's ALT written by NEXT (or kept by File > Save), then "Move to next file"; each page
    // shows its own folder's pictures.
    struct Step {
        const char *alt, *write, *shown, *picture;
    } steps[] = {
        {"Logo one", "Command3", "2 / 3 Image 1 of 3", "other/chart.gif"}, // after the page's background
        {"A chart", "Command3", "3 / 3 Image 1 of 3", "site/logo.gif"},
        {"Our logo", "s", "3 / 3 Image 1 of 3", "site/logo.gif"}, // the last page stays the last
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.alt);
        child<QPlainTextEdit>("Text1")->selectAll();
        QTest::keyClicks(child<QPlainTextEdit>("Text1"), step.alt);
        child<QAction>(step.write) ? child<QAction>(step.write)->trigger() : click(step.write);
        click("Command7");
        EXPECT_EQ(shown(), step.shown);
        EXPECT_EQ(child<QLabel>("Picture1")->toolTip().toStdString(), dir.path(step.picture));
    }
    child<QAction>("e")->trigger(); // what was kept stays
    auto with = [](std::string text, const std::string& from, const std::string& to) {
        return text.replace(text.find(from), from.size(), to);
    };
    EXPECT_EQ(readAll(index), with(with(indexText, "ALT=\"BRINDLEWORK logo\"", "ALT=\"Logo one\""), "SRC=\"sun.gif\"",
                                   "SRC=\"sun.gif\" ALT=\"A sun\"")); // the offer, taken by "Move to next file"
    EXPECT_EQ(readAll(news), with(newsText, "SRC=\"chart.gif\"", "SRC=\"chart.gif\" ALT=\"A chart\""));
    EXPECT_EQ(readAll(about), with(aboutText, "SRC=\"logo.gif\"", "SRC=\"logo.gif\" ALT=\"Our logo\""));
}

} // namespace
} // namespace bw
