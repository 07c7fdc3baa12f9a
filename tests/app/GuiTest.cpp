// The real windows, offscreen, with scripted dialogs.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <filesystem>

#include "app/qt/Windows.h"
#include "support/Doubles.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

struct Gui : ::testing::Test {
    test::ScriptedDialogs dialogs;
    RealFileSystem files;
    test::RecordingShell shell;
    test::MemorySettings settings;
    test::TempDir dir;
    std::unique_ptr<App> app;

    Gui()
    {
        fs::copy(BW_SAMPLE_SITE, dir.path("site"), fs::copy_options::recursive);
        app = std::make_unique<App>(dialogs, files, shell, settings, Version{1, 0, 6}, dir.path("ftp/"));
        app->window().show();
    }
    template <class T> T* child(const char* name) { return app->window().findChild<T*>(name); }
};

TEST_F(Gui, OpensASamplePageAndShowsItsFirstImage)
{
    // As `brindlework site/index.html` started in the temp folder would.
    const QString before = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.path()));
    app->start({"site/./index.html"});
    QDir::setCurrent(before);
    EXPECT_EQ(app->form().Text6.Text(), dir.path("site/index.html"));

    EXPECT_EQ(child<QLabel>("Label1")->text(), "Image 1 of 4");
    EXPECT_EQ(child<QPlainTextEdit>("Text1")->toPlainText(), "BRINDLEWORK logo");
    const QLabel* picture = child<QLabel>("Picture1");
    ASSERT_FALSE(picture->pixmap().isNull());
    EXPECT_LE(picture->pixmap().width(), picture->contentsRect().width());
    EXPECT_EQ(child<QLabel>("Label4")->text(), "Ver. 1.0.6");
    EXPECT_TRUE(app->window().windowTitle().endsWith("index.html"));
    EXPECT_TRUE(dialogs.shown.empty());

    // Typing reaches the window's state.
    auto* text1 = child<QPlainTextEdit>("Text1");
    text1->clear();
    EXPECT_TRUE(app->form().ingenalttext);
    QTest::keyClicks(text1, "A logo");
    EXPECT_EQ(app->form().Text1.Text(), "A logo");

    if (const char* shots = std::getenv("BW_SCREENSHOTS"))
        app->window().grab().save(QString(shots) + "/main-window.png");
}

TEST_F(Gui, TypeNextThenSaveAsAndReset)
{
    const std::string page = dir.path("site/index.html");
    const std::string original = test::readAll(page);
    app->form().openPath(page);
    app->window().refresh();

    auto* text1 = child<QPlainTextEdit>("Text1");
    QTest::mouseClick(child<QPushButton>("Command3"), Qt::LeftButton); // keeps the existing ALT
    text1->selectAll();
    QTest::keyClicks(text1, "A yellow sun");
    QTest::mouseClick(child<QPushButton>("Command3"), Qt::LeftButton);
    EXPECT_EQ(child<QLabel>("Label1")->text(), "Image 3 of 4");
    const std::string edited = test::readAll(page);
    EXPECT_NE(edited.find("<img SRC=\"sun.gif\" ALT=\"A yellow sun\" width=80 height=80>"), std::string::npos);

    const std::string copy = dir.path("site/copy.html");
    dialogs.chosen.push_back(copy);
    dialogs.answers = {Answer::Yes};
    child<QAction>("sa")->trigger();
    EXPECT_NE(test::readAll(copy).find("ALT=\"A yellow sun\""), std::string::npos);
    EXPECT_EQ(test::readAll(page), original + "\r\n");
    EXPECT_EQ(child<QLabel>("Label1")->text(), "Image of");
    EXPECT_TRUE(text1->toPlainText().isEmpty());
    EXPECT_TRUE(child<QLabel>("Picture1")->pixmap().isNull());
    EXPECT_EQ(app->window().windowTitle(), "BRINDLEWORK Beta");
}

TEST_F(Gui, AltSKeepsTheEdits)
{
    app->form().openPath(dir.path("site/news.html"));
    app->window().refresh();
    app->window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app->window()));
    auto* text1 = child<QPlainTextEdit>("Text1");
    text1->setFocus();
    QTest::keyClicks(text1, "A bar chart");
    dialogs.answers = {Answer::Yes};
    auto* keep = child<QPushButton>("Command4");
    EXPECT_EQ(keep->shortcut(), QKeySequence("Alt+S"));
    QTest::keyClick(text1, Qt::Key_S, Qt::AltModifier);
    for (int waited = 0; !app->form().ändrat && waited < 2000; waited += 20)
        QTest::qWait(20); // a shortcut presses the button visibly, then clicks
    EXPECT_TRUE(dialogs.saw("Are you sure you want to do this ?", "BRINDLEWORK"));
    EXPECT_TRUE(app->form().ändrat);
    EXPECT_NE(test::readAll(dir.path("site/news.html")).find("ALT=\"A bar chart\""), std::string::npos);
}

TEST_F(Gui, LargePicturesAreScaledDownKeepingTheirShape)
{
    app->form().openPath(dir.path("site/products.html"));
    while (app->form().List2.List(app->form().List1.ListIndex()) != "harbour.jpg" &&
           app->form().List1.ListIndex() + 1 < app->form().List1.ListCount())
        app->form().List1.setListIndex(app->form().List1.ListIndex() + 1);
    app->window().refresh();
    const QLabel* picture = child<QLabel>("Picture1");
    ASSERT_FALSE(picture->pixmap().isNull());
    QSize shown = picture->pixmap().size();
    EXPECT_LE(shown.width(), picture->contentsRect().width());
    EXPECT_LE(shown.height(), picture->contentsRect().height());
    EXPECT_NEAR(double(shown.width()) / shown.height(), 800.0 / 600.0, 0.02);
}

TEST_F(Gui, ControlsAreNamedAndTheHiddenSaveButtonFollowsTheAltBox)
{
    for (const char* name : {"Command1", "Command3", "Command4", "Command5", "Command6"})
        EXPECT_NE(child<QPushButton>(name), nullptr) << name;
    for (const char* name : {"n", "o", "s", "sa", "e", "pr", "url", "na", "pass", "l", "ftpa", "su", "ab"})
        EXPECT_NE(child<QAction>(name), nullptr) << name;
    auto* keep = child<QPushButton>("Command4");
    EXPECT_EQ(keep->text(), "&Save");
    EXPECT_TRUE(keep->isVisible());
    EXPECT_GE(keep->y(), app->window().centralWidget()->height()) << "lies below the visible area";
    QWidget* next = child<QPlainTextEdit>("Text1")->nextInFocusChain();
    while (next && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    EXPECT_EQ(next, keep);
    EXPECT_FALSE(child<QPushButton>("Command7")->isVisible());
    EXPECT_EQ(child<QLabel>("Label2")->buddy(), child<QPlainTextEdit>("Text1"));
    // Everything a user can reach has a name a screen reader can say.
    int named = 0;
    for (QWidget* widget : app->window().findChildren<QWidget*>()) {
        const bool reachable = widget->focusPolicy() & Qt::TabFocus || qobject_cast<QLabel*>(widget) ||
                               (qobject_cast<QToolButton*>(widget) && widget->objectName() != "qt_toolbar_ext_button");
        if (!widget->isVisible() || !reachable)
            continue;
        // A label reads its own text; an empty one (no image name yet) is skipped by readers.
        auto* label = qobject_cast<QLabel*>(widget);
        if (label && label->text().isEmpty() && widget->objectName() != "Picture1")
            continue;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty()) << widget->metaObject()->className() << " "
                                                                    << widget->objectName().toStdString();
        ++named;
    }
    EXPECT_GE(named, 15);
    QSize fixed = app->window().size();
    EXPECT_EQ(app->window().minimumSize(), fixed);
    EXPECT_EQ(app->window().maximumSize(), fixed);
}

TEST_F(Gui, AboutOpensOnceAndItsLinkGoesToTheHomePage)
{
    child<QAction>("ab")->trigger();
    AboutWindow* first = app->about();
    ASSERT_NE(first, nullptr);
    child<QAction>("ab")->trigger();
    EXPECT_EQ(app->about(), first);
    EXPECT_EQ(app->window().findChildren<AboutWindow*>().size(), 1);
    first->state().Label1_Click();
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_NE(shell.opened[0].find(".example/"), std::string::npos);
    first->findChild<QPushButton*>("cmdOK")->click();
    QApplication::processEvents();
    QTest::qWait(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(app->about(), nullptr);
    if (const char* shots = std::getenv("BW_SCREENSHOTS")) {
        child<QAction>("ab")->trigger();
        app->about()->grab().save(QString(shots) + "/about.png");
    }
}

TEST_F(Gui, ClosingTheWindowPutsThePageBack)
{
    const std::string page = dir.path("site/about.html");
    const std::string original = test::readAll(page);
    app->form().openPath(page);
    dir.write("site/about.html", "changed by a write-back");
    app->window().close();
    EXPECT_EQ(test::readAll(page), original + "\r\n");
}

TEST_F(Gui, SplashIsLoadedAndGoesAway)
{
    EXPECT_TRUE(app->splashLoaded());
    for (int waited = 0; app->splashLoaded() && waited < 5000; waited += 50)
        QTest::qWait(50);
    EXPECT_FALSE(app->splashLoaded());
}

} // namespace
} // namespace bw

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
