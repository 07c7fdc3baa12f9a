// The real windows, offscreen, with scripted dialogs.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include "app/CommandLine.h"
#include "app/qt/Windows.h"
#include "app/RealBoxes.h"
#include "support/AppFixture.h"
#include "support/Doubles.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

struct Gui : test::AppFixture<> {
    Gui()
    {
        fs::copy(BW_SAMPLE_SITE, dir.path("site"), fs::copy_options::recursive);
        startApp();
    }
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
    EXPECT_EQ(QAccessible::queryAccessibleInterface(const_cast<QLabel*>(picture))->text(QAccessible::Name), "logo.gif");
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
    EXPECT_EQ(test::readAll(page), original);
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

TEST_F(Gui, EveryKindOfPictureIsShownFittedWithItsSizeBesideItsName)
{
    // Left half red, a yellow disc on blue: a turned or stretched picture looks wrong.
    QImage drawn(300, 150, QImage::Format_RGB32);
    drawn.fill(QColor("#1b4f9c"));
    {
        QPainter painter(&drawn);
        painter.fillRect(0, 0, 150, 150, QColor("#c0392b"));
        painter.setBrush(QColor("#f1c40f"));
        painter.drawEllipse(QPoint(225, 75), 50, 50);
    }
    for (const char* format : {"png", "jpg", "bmp", "webp"})
        ASSERT_TRUE(drawn.save(QString::fromStdString(dir.path("pic.")) + format)) << format;
    ASSERT_TRUE(drawn.scaled(48, 24).save(QString::fromStdString(dir.path("pic.ico"))));
    fs::copy(dir.path("pic.png"), dir.path("a picture whose name is longer than its label.png"));
    dir.write("pic.gif", test::kGif);
    dir.write("pic.svg", R"(<svg xmlns="http://www.w3.org/2000/svg" width="40" height="20"><rect width="40" height="20" )"
                         R"(fill="#2a6"/><circle cx="30" cy="10" r="8" fill="#fd0"/></svg>)");
    dir.write("broken.png", "\x89PNG\r\n\x1a\nthis is no picture");
    const std::string pngBytes = test::readAll(dir.path("pic.png"));

    struct Row {
        std::string file, data, note;
        QSize own;       // invalid: no picture
        QString viewHas; // the view's text
    } rows[] = {
        {"pic.png", "", "", {300, 150}, ""},
        {"pic.jpg", "", "", {300, 150}, ""},
        {"a picture whose name is longer than its label.png", "", "", {300, 150}, ""},
        {"pic.bmp", "", "", {300, 150}, ""},
        {"pic.webp", "", "", {300, 150}, ""},
        {"pic.ico", "", "", {48, 24}, ""},
        {"pic.gif", "", "", {1, 1}, ""},
        {"pic.svg", "", "", {40, 20}, ""},
        {"", pngBytes, "", {300, 150}, ""},
        {"broken.png", "", "", {}, "This picture cannot be shown: "},
        {"", "", "This image lives on the web: https://x.example/a.png", {}, "lives on the web"},
        {"", "", "", {}, ""},
    };
    auto* view = child<QLabel>("Picture1");
    auto* name = child<QLabel>("Label5");
    const QSize room = view->contentsRect().size();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file + " " + row.note + (row.data.empty() ? "" : " data"));
        PictureBox& box = app->form().Picture1;
        box.clear();
        box.Picture = row.file.empty() ? "" : dir.path(row.file);
        box.Data = row.data;
        box.Note = row.note;
        app->form().Label5.Caption = row.file.empty() ? "inline" : row.file;
        app->window().refresh();
        if (const char* shots = std::getenv("BW_SCREENSHOTS"))
            app->window().grab().save(QString(shots) + "/view-" + QString::number(&row - rows) + ".png");

        EXPECT_TRUE(view->text().contains(row.viewHas)) << view->text().toStdString();
        EXPECT_EQ(view->text().isEmpty(), row.viewHas.isEmpty()) << view->text().toStdString();
        const QString caption = QString::fromStdString(app->form().Label5.Caption);
        const QString real = row.own.isValid() ? QString("  %1 \u00D7 %2").arg(row.own.width()).arg(row.own.height()) : "";
        // Said whole in the tooltip; in the narrow label the name gives way, never the size.
        EXPECT_EQ(name->toolTip(), caption + real);
        EXPECT_TRUE(name->text().startsWith(caption.left(1)) && name->text().endsWith(caption.right(1) + real))
            << name->text().toStdString();
        EXPECT_LE(name->fontMetrics().horizontalAdvance(name->text()), name->contentsRect().width());
        const QPixmap shown = view->pixmap();
        ASSERT_EQ(shown.isNull(), !row.own.isValid());
        if (shown.isNull())
            continue;
        // Drawings fill the view; pixels only ever shrink to it.
        const bool drawing = row.file.ends_with(".svg");
        const bool large = row.own.width() > room.width() || row.own.height() > room.height();
        const QSize fitted = drawing || large ? row.own.scaled(room, Qt::KeepAspectRatio) : row.own;
        const QSize size = shown.deviceIndependentSize().toSize();
        EXPECT_LE(std::abs(size.width() - fitted.width()) + std::abs(size.height() - fitted.height()), 1)
            << size.width() << "x" << size.height();
        const qint64 decoded = shown.cacheKey();
        app->window().refresh();
        EXPECT_EQ(view->pixmap().cacheKey(), decoded) << "decoded again with nothing changed";
    }
}

TEST_F(Gui, ControlsAreNamedAndReachedByTheirKeys)
{
    for (const char* name : {"Command1", "Command3", "Command4", "Command5", "Command6"})
        EXPECT_NE(child<QPushButton>(name), nullptr) << name;
    for (const char* name : {"n", "o", "s", "sa", "e", "pr", "url", "na", "pass", "l", "ftpa", "su", "ab"})
        EXPECT_NE(child<QAction>(name), nullptr) << name;
    const std::string page = dir.path("site/index.html");
    app->window().run([&] { app->form().openPath(page); });
    app->window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app->window()));
    // Tab goes round the controls in sight only: the hidden "&Save" is never a stop.
    QWidget* client = app->window().centralWidget();
    child<QPlainTextEdit>("Text1")->setFocus();
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_TRUE(focus->isVisible() && client->rect().contains(QRect(focus->mapTo(client, QPoint()), focus->size())))
            << focus->objectName().toStdString();
    }
    EXPECT_FALSE(child<QPushButton>("Command4")->isVisible());
    // Each menu of the menu bar has a mnemonic of its own.
    QSet<QChar> mnemonics;
    for (QAction* menu : app->window().menuBar()->actions()) {
        const qsizetype at = menu->text().indexOf('&');
        ASSERT_GE(at, 0) << menu->text().toStdString();
        EXPECT_FALSE(mnemonics.contains(menu->text().at(at + 1).toLower())) << menu->text().toStdString();
        mnemonics.insert(menu->text().at(at + 1).toLower());
    }
    // Preview from the keyboard; then each usual key reaches its command.
    QTest::keySequence(&app->window(), QKeySequence("F12"));
    ASSERT_FALSE(shell.opened.empty());
    EXPECT_EQ(shell.opened.back(), page);
    const std::pair<const char*, const char*> keys[] = {{"Ctrl+O", "o"},       {"Ctrl+S", "s"}, {"Ctrl+Shift+S", "sa"},
                                                        {"Ctrl+Q", "e"},       {"F1", "su"},    {"F12", "preview"},
                                                        {"Ctrl+N", "n"}};
    for (auto [key, name] : keys) {
        auto* action = child<QAction>(name);
        ASSERT_NE(action, nullptr) << name;
        QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
        QSignalSpy spy(action, &QAction::triggered);
        QTest::keySequence(&app->window(), QKeySequence(key));
        EXPECT_EQ(spy.count(), 1) << key;
    }
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
    EXPECT_GE(named, 14);
}

TEST(ShellTest, SaysSoWhenNoBrowserCanBeStarted)
{
    // Offscreen there is no desktop to hand a page to.
    test::ScriptedDialogs dialogs;
    QtShell shell(dialogs);
    shell.open("/tmp/page.html");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_NE(dialogs.shown[0].text.find("No web browser could be started to show\n/tmp/page.html"), std::string::npos);
}

TEST(Place, TheMainWindowComesBackWhereItWasLeftWhollyOnTheScreen)
{
    test::ScriptedDialogs dialogs;
    RealFileSystem files;
    test::RecordingShell shell;
    test::MemorySettings settings;
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Row {
        const char* stored; // nullptr: as the last run left it, at 60,50 in 700 x 400
        QSize window;       // the window's own size, without its frame
        QPoint corner;      // where the frame's bottom right lies; (0,0): anywhere on the screen
    } rows[] = {
        {nullptr, {700, 400}, {}},
        {"", {542, 277}, {}},
        {"not a place", {542, 277}, {}},
        {"5000 4000 700 400 0", {700, 400}, screen.bottomRight()},
        {"-300 -200 4000 3000 0", {}, screen.bottomRight()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored ? row.stored : "last run");
        QRect lastFrame;
        if (row.stored) {
            settings.saveSetting("bw", "brindlepad", "MainWindowPlace", row.stored);
        } else {
            App last(dialogs, files, shell, settings, Version{1, 0, 6}, "/tmp/");
            last.start({});
            last.window().setGeometry(60, 50, 700, 400);
            lastFrame = last.window().frameGeometry();
            last.window().close();
        }
        App app(dialogs, files, shell, settings, Version{1, 0, 6}, "/tmp/");
        app.start({});
        const QRect frame = app.window().frameGeometry();
        EXPECT_TRUE(screen.contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
        if (lastFrame.isValid()) {
            EXPECT_EQ(frame, lastFrame);
        }
        if (!row.corner.isNull()) {
            EXPECT_EQ(frame.bottomRight(), row.corner);
        }
        if (row.window.isValid()) {
            EXPECT_EQ(row.window == QSize(542, 277) ? app.window().centralWidget()->size() : app.window().size(), row.window);
        }
    }
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
    EXPECT_EQ(shell.opened[0], site::kHome);
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
    app->form().Text1.setText("written on NEXT");
    app->form().Command3_Click();
    const std::string edited = test::readAll(page);
    ASSERT_NE(edited, original);
    // Cancel: the window stays and so do the ALTs; Take Out closes and puts the page back.
    dialogs.chosenButtons = {2};
    app->window().close();
    EXPECT_TRUE(app->window().isVisible());
    EXPECT_EQ(test::readAll(page), edited);
    EXPECT_EQ(dialogs.shown.back().text, "The ALT texts written to about.html since you opened it will be taken out again.");
    dialogs.chosenButtons = {1};
    app->window().close();
    EXPECT_FALSE(app->window().isVisible());
    EXPECT_EQ(test::readAll(page), original);
}

TEST_F(Gui, SplashIsLoadedAndGoesAway)
{
    EXPECT_TRUE(app->splashLoaded());
    for (int waited = 0; app->splashLoaded() && waited < 5000; waited += 50)
        QTest::qWait(50);
    EXPECT_FALSE(app->splashLoaded());
}

TEST(Layout, TheCounterHoldsTheLongestCountAndTheBottomRowLiesInsideTheWindow)
{
    // The desktop's font decides; a larger one must not cut the counter or push a button out.
    const QFont desktop = QApplication::font();
    for (int points : {0, 11, 13}) {
        QFont font = desktop;
        if (points)
            font.setPointSize(points);
        QApplication::setFont(font);
        test::ScriptedDialogs dialogs;
        RealFileSystem files;
        test::RecordingShell shell;
        test::MemorySettings settings;
        App app(dialogs, files, shell, settings, Version{1, 0, 6}, "/tmp/");
        app.window().show();
        app.form().Label1.Caption = "Image 1234 of 12345";
        app.window().refresh();
        SCOPED_TRACE(points);

        const QWidget* client = app.window().centralWidget();
        const auto* counter = client->findChild<QLabel*>("Label1");
        EXPECT_EQ(counter->text(), "Image 1234 of 12345");
        EXPECT_LE(QFontMetrics(counter->font()).horizontalAdvance(counter->text()), counter->contentsRect().width());
        EXPECT_GE(QFontMetrics(counter->font()).height(), 1);
        EXPECT_LE(QFontMetrics(counter->font()).height(), counter->contentsRect().height());
        for (const char* neighbour : {"Label5", "Label2", "Label3", "Command7"})
            EXPECT_FALSE(counter->geometry().intersects(client->findChild<QWidget*>(neighbour)->geometry())) << neighbour;
        // Every caption in sight is shown whole.
        for (const char* name : {"Label1", "Label2", "Label4", "Command6", "Command5", "Command3", "Command1"}) {
            const QWidget* control = client->findChild<QWidget*>(name);
            const auto* label = qobject_cast<const QLabel*>(control);
            const auto* button = qobject_cast<const QPushButton*>(control);
            const QString caption = label ? label->text() : button->text();
            const int room = label ? label->contentsRect().width() : button->width() - 8;
            EXPECT_LE(QFontMetrics(control->font()).horizontalAdvance(caption), room) << name;
        }
        for (const char* name : {"Command5", "Command3", "Command1"}) {
            const QRect button = client->findChild<QPushButton*>(name)->geometry();
            EXPECT_TRUE(client->rect().contains(button)) << name << " bottom row " << button.bottom();
            EXPECT_FALSE(button.intersects(client->findChild<QWidget*>("Picture1")->geometry())) << name;
        }
        EXPECT_EQ(client->size(), QSize(542, 277));
        if (const char* shots = std::getenv("BW_SCREENSHOTS"))
            app.window().grab().save(QString(shots) + QString("/main-window-%1pt.png").arg(font.pointSize()));

        // Made larger, the image view and the ALT box take the room; the bottom row stays at the bottom.
        auto geometry = [&](const char* name) { return client->findChild<QWidget*>(name)->geometry(); };
        const QRect picture = geometry("Picture1"), alt = geometry("Text1"), back = geometry("Command5"),
                    reset = geometry("Command1");
        app.window().resize(app.window().size() + QSize(300, 200));
        ASSERT_EQ(client->size(), QSize(842, 477));
        EXPECT_GT(geometry("Picture1").width(), picture.width() + 100);
        EXPECT_EQ(geometry("Picture1").height(), picture.height() + 200);
        EXPECT_GT(geometry("Text1").width(), alt.width());
        EXPECT_EQ(geometry("Text1").bottom(), geometry("Picture1").bottom());
        EXPECT_FALSE(geometry("Picture1").intersects(geometry("Text1")));
        EXPECT_EQ(geometry("Command5"), back.translated(0, 200));
        EXPECT_EQ(geometry("Command1"), reset.translated(300, 200));
        EXPECT_EQ(client->findChild<QLabel*>("Picture1")->contentsRect().width(), geometry("Picture1").width() - 2)
            << "the picture is fitted to the larger view";
        if (const char* shots = std::getenv("BW_SCREENSHOTS"))
            app.window().grab().save(QString(shots) + QString("/main-window-large-%1pt.png").arg(font.pointSize()));
    }
    QApplication::setFont(desktop);
}

// The real dialogs, answered from the keyboard: Return takes the default a question asks for,
// Escape cancels, and a password prompt shows no typed character.
TEST(RealDialogs, ReturnAndEscapeAnswerAsTheQuestionIntends)
{
    QtDialogs dialogs;
    Qt::Key key = Qt::Key_Return;
    bool masked = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (auto* line = modal->findChild<QLineEdit*>())
            masked = line->echoMode() == QLineEdit::Password;
        QTest::keyClick(modal, key);
    });
    timer.start(5);
    EXPECT_EQ(dialogs.msgBox("Delete it?", Buttons::YesNo, "BRINDLEWORK", Answer::No), Answer::No);
    EXPECT_EQ(dialogs.msgBox("Go on?", Buttons::YesNo, "BRINDLEWORK"), Answer::Yes);
    const std::vector<std::string> closing{"Keep", "Take Out", "Cancel"};
    EXPECT_EQ(dialogs.choose("Closing?", "BRINDLEWORK", closing, 0, 2), 0);
    EXPECT_EQ(dialogs.inputBox("Password?", "Password", "old", true), std::optional<std::string>("old"));
    EXPECT_TRUE(masked);
    EXPECT_EQ(dialogs.inputBox("User?", "User", "anna"), std::optional<std::string>("anna"));
    EXPECT_FALSE(masked);
    key = Qt::Key_Escape;
    EXPECT_EQ(dialogs.choose("Closing?", "BRINDLEWORK", closing, 0, 2), 2);
    EXPECT_EQ(dialogs.msgBox("Go on?", Buttons::YesNo, "BRINDLEWORK"), Answer::No);
    EXPECT_EQ(dialogs.inputBox("User?", "User", "anna"), std::nullopt);
}

struct Boxes : test::AppFixture<test::RealBoxes> {
    Boxes()
    {
        dir.write("bg.gif", test::kGif);
        dir.write("sun.gif", test::kGif);
        startApp();
        app->window().move(200, 150);
    }
};

TEST_F(Boxes, TheWindowShowsItsNewStateBeforeABoxSpeaksOfItAndTheBoxSitsOverIt)
{
    struct Row {
        const char* name;
        const char* page; // written as page.html; nullptr = no such file
        int nexts;        // NEXT clicks after opening
        const char* boxTitle;
        const char* counter; // at the moment the last box appears
    };
    const Row rows[] = {
        {"first picture missing", "<img SRC=\"gone.gif\"><img SRC=\"sun.gif\">", 0, "BRINDLEWORK", "Image 1 of 2"},
        {"picture after the background missing", "<body background=\"bg.gif\"><img SRC=\"gone.gif\">", 0,
         "Pic Not Found", "Image 1 of 1"},
        {"no such page", nullptr, 0, "File Not Found", "Image of"},
        {"past the last image", "<img SRC=\"sun.gif\" ALT=\"a\"><img SRC=\"bg.gif\" ALT=\"b\">", 2, "BRINDLEWORK",
         "Image 2 of 2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        app->window().run([&] { app->form().nytt(); });
        const std::string page = row.page ? dir.write("page.html", row.page) : dir.path("nothing-here.html");
        struct Seen {
            QString title, boxTitle, counter, picture, shownPicture;
            QWidget* parent = nullptr;
            QPoint boxCentre, windowCentre;
        };
        std::vector<Seen> seen;
        test::BoxAnswerer answerer([&](QMessageBox& box) {
            seen.push_back({app->window().windowTitle(), box.windowTitle(), child<QLabel>("Label1")->text(),
                            fromPath(app->form().Picture1.Picture), child<QLabel>("Picture1")->toolTip(),
                            box.parentWidget(), box.frameGeometry().center(),
                            app->window().frameGeometry().center()});
            // What the core holds at this moment is what the window must already show.
            EXPECT_EQ(seen.back().title.toStdString(), titleText(app->form().Caption).toStdString());
            EXPECT_EQ(seen.back().counter.toStdString(), fromBytes(app->form().Label1.Caption).toStdString());
            return true;
        });
        app->start({QString::fromStdString(page)});
        for (int i = 0; i < row.nexts; ++i)
            child<QPushButton>("Command3")->click();
        ASSERT_FALSE(seen.empty());
        const Seen& last = seen.back();
        EXPECT_EQ(last.boxTitle.toStdString(), row.boxTitle);
        EXPECT_EQ(last.title.toStdString(), "BRINDLEWORK Beta " + page);
        EXPECT_EQ(last.counter.toStdString(), row.counter);
        EXPECT_EQ(last.shownPicture, last.picture);
        EXPECT_EQ(last.parent, &app->window());
        EXPECT_LE((last.boxCentre - last.windowCentre).manhattanLength(), 4)
            << "box centre " << last.boxCentre.x() << "," << last.boxCentre.y() << " window centre "
            << last.windowCentre.x() << "," << last.windowCentre.y();
    }
}

TEST_F(Boxes, TheSplashLeavesAnOpenBoxOnTop)
{
    ASSERT_TRUE(app->splashLoaded());
    app->window().run([&] { app->form().openPath(dir.write("page.html", "<img SRC=\"sun.gif\">")); });
    app->window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app->window()));
    int raised = 0, raisedWhileOpen = -1;
    QWidget* activeAfterSplash = nullptr;
    struct Watch : QObject {
        int& raised;
        explicit Watch(int& r) : raised(r) {}
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::ZOrderChange || event->type() == QEvent::WindowActivate)
                ++raised;
            return false;
        }
    } watch(raised);
    app->window().installEventFilter(&watch);
    test::BoxAnswerer answerer([&](QMessageBox& box) {
        if (app->splashLoaded())
            return false; // the question stays open until the splash has gone
        raisedWhileOpen = raised;
        activeAfterSplash = QApplication::activeWindow();
        EXPECT_TRUE(box.isVisible());
        return true;
    });
    child<QPushButton>("Command1")->click(); // "Do you want to reset ?"
    app->window().removeEventFilter(&watch);
    EXPECT_EQ(answerer.answered, 1);
    EXPECT_EQ(raisedWhileOpen, 0) << "the main window was raised or activated over the open box";
    EXPECT_NE(activeAfterSplash, &app->window());
    EXPECT_FALSE(app->form().pageOpen()) << "the answer still reached the question";
}

TEST(CommandLineTest, OnePageAtMostAndMistakesAreToldAsSuch)
{
    using Ask = CommandLine::Ask;
    struct Row {
        QStringList arguments;
        Ask ask;
        QString page;
        QString errorHas;
    } rows[] = {
        {{"brindlework"}, Ask::Run, "", ""},
        {{"brindlework", "a.html"}, Ask::Run, "a.html", ""},
        {{"brindlework", "--", "-odd.html"}, Ask::Run, "-odd.html", ""},
        {{"brindlework", "a.html", "b.html"}, Ask::Wrong, "", "Only one PAGE"},
        {{"brindlework", "a.html", "b.html", "c.html"}, Ask::Wrong, "", "3 were given"},
        {{"brindlework", "--bogus", "a.html"}, Ask::Wrong, "", "bogus"},
        {{"brindlework", ""}, Ask::Wrong, "", "empty"},
        {{"brindlework", "-platform", "offscreen", "a.html"}, Ask::Run, "a.html", ""},
        {{"brindlework", "--style=fusion", "-reverse", "a.html"}, Ask::Run, "a.html", ""},
        {{"brindlework", "-style", "fusion", "a.html", "b.html"}, Ask::Wrong, "", "2 were given"},
        {{"brindlework", "--", "-style", "a.html"}, Ask::Wrong, "", "-style, a.html"},
        {{"brindlework", "--help"}, Ask::Help, "", ""},
        {{"brindlework", "a.html", "b.html", "--version"}, Ask::Version, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        CommandLine line = readCommandLine(row.arguments);
        EXPECT_EQ(line.ask, row.ask);
        EXPECT_EQ(line.page, row.page);
        if (row.errorHas.isEmpty())
            EXPECT_TRUE(line.error.isEmpty()) << line.error.toStdString();
        else
            EXPECT_TRUE(line.error.contains(row.errorHas)) << line.error.toStdString();
    }
}

TEST(CommandLineTest, TheProgramRefusesTwoPagesWithoutNeedingADisplay)
{
    struct Row {
        QStringList arguments;
        int exitCode;
        QString stderrHas, stdoutHas;
    } rows[] = {
        {{"a.html", "b.html"}, 2, "Only one PAGE can be opened at a time", ""},
        {{"--nonsense"}, 2, "Usage: brindlework [options] [PAGE]", ""},
        {{"--help"}, 0, "", "Usage:"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        program.setProcessEnvironment(env);
        program.start(BW_PROGRAM, row.arguments);
        ASSERT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), row.exitCode);
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        EXPECT_TRUE(err.contains(row.stderrHas)) << err.toStdString();
        EXPECT_TRUE(out.contains(row.stdoutHas)) << out.toStdString();
        if (row.exitCode == 2) {
            EXPECT_TRUE(err.contains(kUsage)) << err.toStdString();
        }
    }
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
