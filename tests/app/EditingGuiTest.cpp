// Editing pages in the real window, offscreen: other programs, 8-bit pages, repeated tags,
// keeps, read-only pages. Clicks and keys go to the widgets; the files on disk are checked.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "app/qt/Windows.h"
#include "support/AppFixture.h"
#include "support/Doubles.h"

namespace bw {
namespace {

using test::readAll;

struct EditingGui : test::AppFixture<> {
    std::string path;

    EditingGui()
    {
        dir.write("dot.gif", test::kGif);
        dir.write("b.gif", test::kGif);
        startApp();
    }
    void open(const std::string& html)
    {
        path = dir.write("page.html", html);
        app->form().openPath(path);
        app->window().refresh();
    }
    void type(const QString& text)
    {
        auto* box = child<QPlainTextEdit>("Text1");
        box->selectAll();
        // Key by key, as a keyboard with these letters would send them.
        for (QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
    void click(const char* button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    QString counter() { return child<QLabel>("Label1")->text(); }
};

TEST_F(EditingGui, AnotherProgramsChangeIsKeptWhenTheUserSaysNo)
{
    open("<img SRC=\"dot.gif\"><img SRC=\"b.gif\"></html>");
    type("A dot");
    const std::string theirs = "<img SRC=\"dot.gif\"><img SRC=\"b.gif\"></html><p>their paragraph</p>";
    dir.write("page.html", theirs);
    dialogs.answers = {Answer::No};
    click("Command3");
    EXPECT_NE(dialogs.shown.at(0).text.find("was changed by another program"), std::string::npos);
    EXPECT_EQ(readAll(path), theirs);
    EXPECT_EQ(counter(), "Image 1 of 2");
    EXPECT_EQ(child<QPlainTextEdit>("Text1")->toPlainText(), "A dot");
    // Closing asks too, and No leaves their text.
    dialogs.answers = {Answer::No};
    app->window().close();
    EXPECT_EQ(readAll(path), theirs);
}

TEST_F(EditingGui, Latin1PageAndRepeatedBullets)
{
    const std::string bullet = "<img SRC=\"dot.gif\">";
    open("<meta charset=\"iso-8859-1\"><p>Men\xfc</p>" + bullet + "<li>a" + bullet + "<li>b" + bullet +
         "<img SRC=\"b.gif\"></html>");
    EXPECT_EQ(counter(), "Image 1 of 2");
    type(QString::fromUtf8("Crème brûlée €5"));
    click("Command3");
    const std::string tagged = "<img SRC=\"dot.gif\" ALT=\"Cr\xe8me br\xfbl\xe9" "e &#8364;5\">";
    EXPECT_EQ(readAll(path), "<meta charset=\"iso-8859-1\"><p>Men\xfc</p>" + tagged + "<li>a" + tagged + "<li>b" +
                                 tagged + "<img SRC=\"b.gif\"></html>");
    click("Command5");
    EXPECT_EQ(child<QPlainTextEdit>("Text1")->toPlainText(), QString::fromUtf8("Crème brûlée €5"));
}

TEST_F(EditingGui, KeptEditsSurviveSaveAsAndExit)
{
    open("<img SRC=\"dot.gif\"></html>");
    type("Kept");
    dialogs.answers = {Answer::Yes};
    click("Command4");
    ASSERT_TRUE(app->form().ändrat);
    const std::string kept = readAll(path);
    dialogs.chosen.push_back(dir.path("copy.html"));
    dialogs.answers = {Answer::No}; // no reset
    child<QAction>("Toolbar1_save")->trigger();
    child<QAction>("e")->trigger();
    EXPECT_FALSE(app->window().isVisible()) << "Exit ends the program";
    EXPECT_EQ(readAll(path), kept);
}

TEST_F(EditingGui, EnterIsNextShiftEnterIsBackAndAShownAltIsSelected)
{
    open("<img SRC=\"dot.gif\" ALT=\"first\"><img SRC=\"b.gif\" ALT=\"second\"></html>");
    auto* box = child<QPlainTextEdit>("Text1");
    box->setFocus();
    struct Row {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* typed; // after the key
        QString counter, text, selected;
    } rows[] = {
        {Qt::Key_unknown, {}, "", "Image 1 of 2", "first", "first"},
        {Qt::Key_Right, {}, "", "Image 1 of 2", "first", ""}, // the cursor moves, nothing is lost
        {Qt::Key_Return, {}, "", "Image 2 of 2", "second", "second"},
        {Qt::Key_Enter, Qt::ShiftModifier, "", "Image 1 of 2", "first", "first"},
        {Qt::Key_Return, {}, "Two", "Image 2 of 2", "Two", ""}, // typing replaces the shown ALT
        {Qt::Key_Return, Qt::ShiftModifier, "", "Image 1 of 2", "first", "first"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.counter.toStdString() + " " + row.text.toStdString());
        if (row.key != Qt::Key_unknown)
            QTest::keyClick(box, row.key, row.modifiers);
        QTest::keyClicks(box, row.typed);
        EXPECT_EQ(counter(), row.counter);
        EXPECT_EQ(box->toPlainText(), row.text);
        EXPECT_EQ(box->textCursor().selectedText(), row.selected);
    }
}

TEST_F(EditingGui, ReadOnlyPageCanBeLeftUntouched)
{
    open("<img SRC=\"dot.gif\"></html>");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    dialogs.answers = {Answer::No};
    click("Command1");
    EXPECT_EQ(counter(), "Image 1 of 1");
    dialogs.answers = {Answer::Yes};
    click("Command1");
    EXPECT_EQ(counter(), "Image of") << "RESET cleared the window";
    EXPECT_EQ(readAll(path), "<img SRC=\"dot.gif\"></html>");
}

// The sample site's page written today, worked from first image to last in the window.
TEST_F(EditingGui, APageWrittenTodayGetsEveryAltInTheTagShown)
{
    std::filesystem::copy(BW_SAMPLE_SITE, dir.path("site"), std::filesystem::copy_options::recursive);
    const std::string page = dir.path("site/garden.html");
    const std::string before = readAll(page);
    app->form().openPath(page);
    app->window().refresh();
    struct Step {
        const char *counter, *name, *alt;
    };
    const Step steps[] = {{"Image 1 of 5", "img/leaf.svg", "Brindle Garden Shop, home"},
                          {"Image 2 of 5", "img/seedlings.jpg", "Seedlings on a window sill"},
                          {"Image 3 of 5", "img/can.png", "A green watering can"},
                          {"Image 4 of 5", "sun.gif", "Sun"},
                          {"Image 5 of 5", "img/go.png", "Search"}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.counter);
        EXPECT_EQ(counter(), step.counter);
        EXPECT_EQ(app->form().List2.List(app->form().List1.ListIndex()), step.name);
        EXPECT_FALSE(child<QLabel>("Picture1")->pixmap().isNull());
        if (const char* shots = std::getenv("BW_SCREENSHOTS"))
            app->window().grab().save(QString(shots) + "/garden-" + QString::number(&step - steps) + ".png");
        type(QString::fromUtf8(step.alt));
        click("Command3");
    }
    std::string expected = before;
    for (auto [from, to] : {std::pair{"alt='Brindle Garden Shop'", "alt=\"Brindle Garden Shop, home\""},
                            {"src=\"img/seedlings.jpg\"", "src=\"img/seedlings.jpg\" alt=\"Seedlings on a window sill\""},
                            {"data-src=\"img/can.png\"", "data-src=\"img/can.png\" alt=\"A green watering can\""},
                            {"src=sun.gif", "src=sun.gif alt=\"Sun\""},
                            {"src=\"img/go.png\"", "src=\"img/go.png\" alt=\"Search\""}}) {
        const size_t at = expected.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        expected.replace(at, std::string(from).size(), to);
    }
    EXPECT_EQ(readAll(page).substr(0, expected.size()), expected);
    if (const char* shots = std::getenv("BW_SCREENSHOTS"))
        app->window().grab().save(QString(shots) + "/garden.png");
}

} // namespace
} // namespace bw
