// The main window, offscreen, driven by clicks and keys; the real Qt boxes; the command line.

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <map>
#include <tuple>

#include "app/CommandLine.h"
#include "app/qt/PictureLoader.h"
#include "support/AppFixture.h"
#include "support/FakePictures.h"

namespace bw {
namespace {

using test::readAll;

struct Gui : test::AppFixture<> {
    QString counter() { return child<QLabel>("Label1")->text(); }
};

TEST_F(Gui, MainWindowWalk)
{
    std::filesystem::copy(BW_SAMPLE_SITE, dir.path("site"), std::filesystem::copy_options::recursive);
    startApp();
    const std::string index = dir.path("site/index.html");
    const QString before = QDir::currentPath(); // as `brindlework site/./index.html` started in the temp folder
    QDir::setCurrent(QString::fromStdString(dir.path()));
    app->start({"site/./index.html"});
    QDir::setCurrent(before);
    app->window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app->window()));
    QTRY_VERIFY(!app->editor().siteIndexing());
    EXPECT_EQ(app->window().windowTitle().toStdString(), "BRINDLEWORK Beta " + index);
    // Each Alt+letter reaches one place: the menus', the labels' and the buttons' keys differ.
    std::map<QChar, QString> keys;
    QStringList texts;
    for (QAction* menu : app->window().menuBar()->actions())
        texts << menu->text();
    for (QLabel* label : app->window().findChildren<QLabel*>())
        texts << (label->buddy() ? label->text() : QString());
    for (QAbstractButton* button : app->window().findChildren<QAbstractButton*>())
        texts << button->text();
    for (const QString& text : texts)
        if (const qsizetype at = text.indexOf('&'); at >= 0 && at + 1 < text.size() && text[at + 1] != '&') {
            const auto [known, fresh] = keys.try_emplace(text[at + 1].toLower(), text);
            EXPECT_TRUE(fresh) << text.toStdString() << " and " << known->second.toStdString();
        }
    auto* text1 = child<QPlainTextEdit>("Text1");
    auto* picture = child<QLabel>("Picture1");
    EXPECT_TRUE(!picture->pixmap().isNull() && picture->pixmap().width() <= picture->contentsRect().width());

    // Enter is NEXT, Shift+Enter BACK; the ALT shown is selected, so typing replaces it.
    text1->setFocus();
    struct Key {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char *typed, *counter;
        QString text, selected;
    } walk[] = {
        {Qt::Key_unknown, {}, "", "Image 1 of 4", "BRINDLEWORK logo", "BRINDLEWORK logo"},
        {Qt::Key_Return, {}, "", "Image 2 of 4", "A sun", "A sun"}, // as news.html has it
        {Qt::Key_Return, {}, "A yellow sun", "Image 3 of 4", "", ""},
        {Qt::Key_Return, Qt::ShiftModifier, "", "Image 2 of 4", "A yellow sun", "A yellow sun"},
        {Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier, "", "Image 1 of 4", "BRINDLEWORK logo", "BRINDLEWORK logo"},
    };
    for (const Key& step : walk) {
        SCOPED_TRACE(step.counter);
        QTest::keyClicks(text1, step.typed);
        if (step.key != Qt::Key_unknown)
            QTest::keyClick(text1, step.key, step.modifiers);
        EXPECT_EQ(counter(), step.counter);
        EXPECT_EQ(text1->toPlainText(), step.text);
        EXPECT_EQ(text1->textCursor().selectedText(), step.selected);
    }
    EXPECT_NE(readAll(index).find("<img SRC=\"sun.gif\" ALT=\"A yellow sun\" width=80 height=80>"), std::string::npos);
    for (int i = 0; i < 4; ++i)
        click("Command3");
    EXPECT_EQ(counter(), "Image 4 of 4");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text + "|" + dialogs.shown[0].title, "Last Image|BRINDLEWORK");

    // Only <input type=image> is an image; a name from the page is shown as it is written.
    dialogs.chosen = {dir.path("site/garden.html")};
    dialogs.answers = {Answer::Yes}; // load a new page
    QTest::keySequence(&app->window(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(counter(), "Image 1 of 5");
    for (int i = 0; i < 5; ++i, click("Command3")) // SVG, JPEG, PNG, GIF, and PNG again: each decoded and fitted
        EXPECT_TRUE(!picture->pixmap().isNull() && picture->pixmap().width() <= picture->contentsRect().width()) << i;
    const std::string mapText = "<img src=\"sun.gif\"><map><area href=\"<br><br><br><br><br><br><br><br>x.html\"></map>";
    dialogs.chosen = {dir.write("site/map.html", mapText)};
    dialogs.answers = {Answer::Yes};
    QTest::keySequence(&app->window(), QKeySequence("Ctrl+O"));
    QTest::keyClicks(text1, "Sun");
    click("Command3");
    EXPECT_EQ(picture->text(), "An area of an image map, linking to <br><br><br><br><br><br><br><br>x.html");
    EXPECT_LT(picture->heightForWidth(picture->width()), 6 * picture->fontMetrics().lineSpacing()) << "read as markup";

    // The about window's link goes to the home page.
    child<QAction>("ab")->trigger();
    auto* link = app->about()->findChild<QLabel*>("Label1");
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(link->contentsRect().left() + 8, link->height() / 2));
    EXPECT_EQ(shell.opened.back(), site::kHome);
    app->about()->close();

    // Closing asks about the ALT written: Cancel stays, Take Out closes and puts the page back.
    const std::string written = readAll(dir.path("site/map.html"));
    ASSERT_NE(written.find("alt=\"Sun\""), std::string::npos);
    app->window().setGeometry(10, 50, 780, 480);
    const QRect place = app->window().frameGeometry();
    dialogs.chosenButtons = {2, 1};
    app->window().close();
    EXPECT_TRUE(app->window().isVisible());
    EXPECT_EQ(readAll(dir.path("site/map.html")), written);
    EXPECT_EQ(dialogs.shown.back().text, "The ALT texts written to map.html since you opened it will be taken out again.");
    app->window().close();
    EXPECT_FALSE(app->window().isVisible());
    EXPECT_EQ(readAll(dir.path("site/map.html")), mapText);

    // The next run opens where this one was left; a place off the screen is brought wholly onto it.
    for (const char* stored : {"", "5000 4000 780 480 0"}) {
        if (*stored) {
            ASSERT_TRUE(settings.saveSetting("bw", "brindlepad", "MainWindowPlace", stored).ok);
        }
        App next(dialogs, files, shell, settings, Version{1, 0, 6}, "/tmp/");
        next.start({});
        const QRect frame = next.window().frameGeometry(), screen = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_EQ(frame.bottomRight(), *stored ? screen.bottomRight() : place.bottomRight());
        EXPECT_EQ(frame.size(), place.size());
    }
}

// The overview, Decorative, an ALT from another page taken with NEXT, and "Use for every page".
TEST_F(Gui, SiteHelpWalk)
{
    // Three pictures: files with the same bytes would be one picture under three names.
    const std::string gif = readAll(std::string(BW_SAMPLE_SITE) + "/sun.gif");
    for (const char* name : {"site/pic.gif", "site/a.gif", "site/b.gif"})
        dir.write(name, gif + (name[5] == 'p' ? "" : name));
    std::map<std::string, std::string> site = {
        {"site/p0.html", "<p>Intro</p><a href=\"/home\"><img src=\"pic.gif\" alt=\"Our shop\"></a>"},
        {"site/p1.html", "<p>Before the picture</p><img src=\"a.gif\"><figure><img src=\"pic.gif\"><figcaption>The shop front</figcaption></figure><img src=\"b.gif\" alt=\"\">"},
        {"site/sub/p2.html", "<img src=\"../pic.gif\">"},
        {"site/sub/p3.html", "<IMG SRC=\"../pic.gif\" width=1>"},
        {"site/p4.html", "<img src=\"pic.gif\"><img src=\"pic.gif\" alt=\"\">"},
        {"site/notes.txt", "<img src=\"pic.gif\">"},
    };
    for (const auto& [name, text] : site)
        dir.write(name, text);
    startApp();
    app->start({QString::fromStdString(dir.path("site/p1.html"))});
    QTRY_VERIFY(!app->editor().siteIndexing());
    auto* list = child<QListView>("OverviewList");
    auto* text1 = child<QPlainTextEdit>("Text1");
    QTRY_COMPARE(test::rows(list).join(" | "), QString("a.gif\nmissing | pic.gif\nmissing | b.gif\ndecorative"));
    EXPECT_TRUE(list->model()->index(0, 0).data(Qt::FontRole).value<QFont>().bold());

    // Missing only; a click jumps, and the other page's ALT stands offered and selected.
    tick("MissingOnly");
    EXPECT_EQ(list->model()->rowCount(), 2);
    test::clickRow(list, "pic.gif\nmissing");
    EXPECT_EQ(counter(), "Image 2 of 3");
    EXPECT_EQ(text1->textCursor().selectedText(), "Our shop");
    EXPECT_TRUE(child<QLabel>("Hint")->text().startsWith("used on 1 other page"));
    EXPECT_TRUE(child<QLabel>("Context")->text().contains("Caption: \u201CThe shop front\u201D"));
    EXPECT_TRUE(child<QLabel>("Context")->accessibleName().endsWith("\nUsed in 6 places on 5 pages"));

    // NEXT takes the offer; Enter on a row jumps too; Decorative writes alt="".
    QTest::keyClick(text1, Qt::Key_Return);
    EXPECT_EQ(counter(), "Image 3 of 3");
    list->setCurrentIndex(list->model()->index(0, 0));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(counter(), "Image 1 of 3");
    tick("Decorative");
    EXPECT_FALSE(text1->isEnabled());
    EXPECT_EQ(readAll(dir.path("site/p1.html")), "<p>Before the picture</p><img src=\"a.gif\" alt=\"\"><figure><img src=\"pic.gif\" alt=\"Our shop\">"
                                                  "<figcaption>The shop front</figcaption></figure><img src=\"b.gif\" alt=\"\">");
    EXPECT_EQ(list->model()->rowCount(), 1) << "nothing is missing but the image shown";

    // "Use for every page" writes the three pages without an ALT for the picture, and no other file.
    tick("MissingOnly");
    test::clickRow(list, "pic.gif\n\u201COur shop\u201D");
    const std::string p1 = readAll(dir.path("site/p1.html"));
    dialogs.answers = {Answer::Yes}; // OK to the tags shown first
    click("UseEverywhere");
    ASSERT_GE(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown.back().text, "The ALT text was written to 3 other pages.");
    EXPECT_NE(dialogs.shown[dialogs.shown.size() - 2].text.find("\nsub/p2.html, line 1: <img src=\"../pic.gif\">\n"), std::string::npos);
    std::map<std::string, std::string> now = site;
    now["site/p1.html"] = p1;
    now["site/sub/p2.html"] = "<img src=\"../pic.gif\" alt=\"Our shop\">";
    now["site/sub/p3.html"] = "<IMG SRC=\"../pic.gif\" ALT=\"Our shop\" width=1>";
    now["site/p4.html"] = "<img src=\"pic.gif\" alt=\"Our shop\"><img src=\"pic.gif\" alt=\"\">";
    auto pagesAre = [&](std::map<std::string, std::string> pages) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path("site")))
            if (entry.is_regular_file() && entry.path().extension() != ".gif") {
                const std::string name = entry.path().string().substr(dir.path().size());
                EXPECT_EQ(readAll(entry.path().string()), pages[name]) << name;
            }
    };
    pagesAre(now);

    // Ctrl+Z takes back the box's own typing first, then the last write on every page; Ctrl+Y
    // makes it again. Edit > Undo and Redo are on while there is something to do.
    auto* undo = app->window().findChild<QAction*>("undo");
    auto* redo = app->window().findChild<QAction*>("redo");
    ASSERT_TRUE(undo && redo);
    EXPECT_TRUE(undo->isEnabled() && !redo->isEnabled());
    app->window().activateWindow(); // a window's shortcuts answer while it is the active one
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app->window()));
    text1->setFocus();
    QTest::keyClicks(text1, "x");
    QTest::keyClick(text1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text1->toPlainText(), "Our shop");
    pagesAre(now);
    QTest::keyClick(text1, Qt::Key_Z, Qt::ControlModifier);
    std::map<std::string, std::string> undone = site;
    undone["site/p1.html"] = p1; // this page already had the ALT: only the others were written
    pagesAre(undone);
    EXPECT_TRUE(redo->isEnabled());
    QTest::keyClick(text1, Qt::Key_Y, Qt::ControlModifier);
    pagesAre(now);
    EXPECT_FALSE(redo->isEnabled());

    // Closing asks about them all; Take Out puts every page back as it was.
    dialogs.chosenButtons = {1};
    app->window().close();
    EXPECT_EQ(dialogs.shown.back().text, "The ALT texts written to p1.html since you opened it, and those written to other "
                                         "pages with \"Use for every page\", will be taken out again.");
    for (const auto& [name, text] : site)
        EXPECT_EQ(readAll(dir.path(name)), text) << name;
}

// The text in the picture, read in the background, stands offered and selected once the window's
// timer hears of it; its caption is read as the hint label's name.
TEST_F(Gui, OffersTheTextInThePicture)
{
    const std::string page = dir.write("open.html", "<img src=\"open.gif\">");
    dir.write("open.gif", readAll(std::string(BW_SAMPLE_SITE) + "/sun.gif") + "text:Open daily");
    test::FakePictures pictures;
    startApp();
    app->editor().readPicturesWith([&] { return pictures.reader(); });
    app->start({QString::fromStdString(page)});
    QTRY_COMPARE(child<QLabel>("Hint")->accessibleName(), QString("text in the picture"));
    EXPECT_EQ(child<QPlainTextEdit>("Text1")->textCursor().selectedText(), "Open daily");
    app.reset(); // before the reader it was given
}

// Alt+S presses the hidden "&Save" wherever the focus is in the main window, also after a real box
// was answered (the question it asks is answered No, so the box stays as it was).
using RealBoxGui = test::AppFixture<QtDialogs>;

TEST_F(RealBoxGui, AltSPressesSaveWhereverTheFocusIs)
{
    dir.write("logo.gif", test::kGif);
    std::string page;
    for (int i = 1; i <= 8; ++i)
        page += "<img SRC=\"logo.gif\" width=" + std::to_string(i) + ">\n";
    startApp();
    MainWindow& window = app->window();
    window.run([&] { app->editor().openPath(dir.write("eight.html", page)); });
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    std::vector<std::string> asked;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && box->isVisible()) {
            asked.push_back(box->text().toStdString());
            (box->button(QMessageBox::No) ? box->button(QMessageBox::No) : box->button(QMessageBox::Ok))->click();
        }
    });
    answerer.start(5);
    auto* text1 = child<QPlainTextEdit>("Text1");
    const std::pair<const char*, std::function<void()>> rows[] = {
        {"just opened", [] {}},
        {"after NEXT", [&] { click("Command3"); }},
        {"after Last Image", [&] { for (int i = 0; i < 7; ++i) click("Command3"); }},
        {"in the overview", [&] { child<QListView>("OverviewList")->setFocus(); }},
        {"in the ALT box", [&] { text1->setFocus(); }},
        {"on a button", [&] { child<QPushButton>("Command5")->setFocus(); }},
    };
    for (const auto& [situation, before] : rows) {
        SCOPED_TRACE(situation);
        before();
        QCoreApplication::processEvents(); // what the window system posted meanwhile, as between two keys
        asked.clear();
        const QString box = text1->toPlainText();
        QTest::keyClick(window.windowHandle(), Qt::Key_S, Qt::AltModifier); // where the window system sends it
        EXPECT_EQ(asked, std::vector<std::string>{"Are you sure you want to do this ?"});
        EXPECT_EQ(text1->toPlainText(), box);
    }
    EXPECT_EQ(child<QLabel>("Label1")->text(), "Image 8 of 8");
}

// At any size and the desktop's font, with the batch's controls shown, the widest count and a long
// name: every control inside the window, clear of the others and as large as its text needs; the
// room beyond the smallest window goes to the picture and the ALT box, 3 parts to 2.
TEST_F(Gui, ControlsStayApartAndWholeAtEverySizeAndFont)
{
    std::filesystem::copy(BW_SAMPLE_SITE, dir.path("site"), std::filesystem::copy_options::recursive);
    // The widest counter and a long picture name, in the twelfth page of a batch of 34.
    const std::string named = "a picture named at length by its camera.gif";
    std::filesystem::copy(dir.path("site/logo.gif"), dir.path("site/" + named));
    std::string tags;
    for (int i = 0; i < 12345; ++i)
        tags += "<img SRC=\"" + named + "\" id=" + std::to_string(i) + ">\n";
    const std::vector<std::string> batch(34, dir.write("site/widest.html", tags));
    const QFont desktop = QApplication::font();
    const struct {
        int points;
        QSize extra;       // beyond the smallest window
        bool batch = true; // else the page alone, the batch's controls hidden
    } rows[] = {{0, {0, 0}}, {0, {500, 200}}, {11, {0, 0}}, {13, {0, 0}}, {13, {600, 100}}, {16, {400, 50}},
                {0, {500, 200}, false}, {13, {600, 100}, false}};
    std::map<std::tuple<int, int, int>, std::map<std::string, QRect>> placed; // by font and size: where each control stood in the batch
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.points) + "pt, " + std::to_string(row.extra.width()) + " wider" + (row.batch ? "" : ", no batch"));
        QFont font = desktop;
        font.setPointSize(row.points ? row.points : desktop.pointSize());
        QApplication::setFont(font);
        startApp();
        app->start({QString::fromStdString(dir.path(row.batch ? "site/index.html" : "site/widest.html"))});
        MainWindow& window = app->window();
        auto at = [&](const char* name) { return child<QWidget>(name)->geometry(); };
        window.run([&] {
            if (row.batch)
                app->batch().start(batch);
            for (int page = 1; page < 12 && row.batch; ++page)
                app->batch().nextFile();
            app->editor().jumpTo(1233);
        });
        window.refresh();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        EXPECT_EQ(child<QLabel>("Label1")->text().toStdString(), MainWindow::kWidestCounter);
        EXPECT_EQ(child<QLabel>("Label3")->isVisible() ? child<QLabel>("Label3")->text() : "hidden", row.batch ? "12 / 34" : "hidden");
        window.resize(window.minimumSizeHint());
        const QRect picture = at("Picture1"), alt = at("Text1"), back = at("Command5");
        window.resize(window.size() + row.extra);
        const QList<QWidget*> controls = window.centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* control : controls) {
            if (!control->isVisible())
                continue;
            const std::string name = control->objectName().toStdString();
            QRect& before = placed[{row.points, row.extra.width(), row.extra.height()}][name];
            if (row.batch)
                before = control->geometry();
            else
                EXPECT_EQ(control->geometry(), before) << name << " moved where the batch's controls are hidden";
            EXPECT_TRUE(window.centralWidget()->rect().contains(control->geometry())) << name;
            for (QWidget* other : controls)
                EXPECT_TRUE(other == control || !other->isVisible() || !other->geometry().intersects(control->geometry()))
                    << name << " overlaps " << other->objectName().toStdString();
            // Buttons and one-line labels whole; the picture and the hints wrap or scale.
            const auto* label = qobject_cast<QLabel*>(control);
            if (!qobject_cast<QAbstractButton*>(control) && !(label && !label->wordWrap()))
                continue;
            const QSize needs = control->minimumSizeHint();
            EXPECT_TRUE(control->width() >= needs.width() && control->height() >= needs.height()) << name;
            if (label) {
                EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width()) << name;
            }
        }
        // The name gives way in its middle only when its room asks, the size always in sight.
        const QLabel* name = child<QLabel>("Label5");
        const QString whole = QString::fromStdString(named) + "  160 \u00D7 80";
        const bool fits = name->fontMetrics().horizontalAdvance(whole) <= name->contentsRect().width();
        EXPECT_TRUE(name->text().endsWith("160 \u00D7 80") && (name->text() == whole) == fits) << name->text().toStdString();
        const QSize grown = at("Picture1").size() - picture.size(), altGrown = at("Text1").size() - alt.size();
        EXPECT_TRUE(grown.height() == row.extra.height() && altGrown.height() == row.extra.height());
        EXPECT_LE(std::abs(2 * grown.width() - 3 * altGrown.width()), 3) << grown.width() << " to " << altGrown.width();
        EXPECT_EQ(grown.width() > 100 && altGrown.width() > 60, row.extra.width() > 0);
        EXPECT_EQ(at("Decorative").bottom(), at("Picture1").bottom());
        EXPECT_TRUE(at("Text1").bottom() < at("Hint").top() && at("Hint").bottom() < at("Decorative").top());
        EXPECT_EQ(at("Command5"), back.translated(0, row.extra.height())) << "the bottom row keeps to the bottom";
    }
    QApplication::setFont(desktop);
}

// The real boxes answered from the keyboard: Return takes the default the question asks for,
// Escape cancels, and a password prompt shows no typed character.
TEST(RealDialogs, ReturnAndEscapeAnswerAsTheQuestionIntends)
{
    QtDialogs dialogs;
    const std::vector<std::string> closing{"Keep", "Take Out", "Cancel"};
    auto yesNo = [&](Answer preferred) {
        return dialogs.msgBox("Go on?", Buttons::YesNo, "BRINDLEWORK", preferred) == Answer::Yes ? "Yes" : "No";
    };
    auto choose = [&] { return closing[dialogs.choose("Closing?", "BRINDLEWORK", closing, 0, 2)]; };
    auto list = [&] { return dialogs.confirmList("Write?", "a.html, line 1: <img src=a.gif>\n", "BRINDLEWORK") ? "OK" : "Cancel"; };
    auto prompt = [&](bool masked) { return dialogs.inputBox("Password?", "Password", "old", masked).value_or("cancelled"); };
    struct Row {
        Qt::Key key;
        std::function<std::string()> ask;
        std::string answer;
        bool masked = false;
    } rows[] = {
        {Qt::Key_Return, [&] { return yesNo(Answer::No); }, "No"},
        {Qt::Key_Return, [&] { return yesNo(Answer::Yes); }, "Yes"},
        {Qt::Key_Escape, [&] { return yesNo(Answer::Yes); }, "No"},
        {Qt::Key_Return, choose, "Keep"},
        {Qt::Key_Escape, choose, "Cancel"},
        {Qt::Key_Return, list, "OK"},
        {Qt::Key_Escape, list, "Cancel"},
        {Qt::Key_Return, [&] { return prompt(true); }, "old", true},
        {Qt::Key_Return, [&] { return prompt(false); }, "old"},
        {Qt::Key_Escape, [&] { return prompt(false); }, "cancelled"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(&row - rows);
        bool masked = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) {
                auto* line = modal->findChild<QLineEdit*>();
                masked = line && line->echoMode() == QLineEdit::Password;
                QTest::keyClick(modal, row.key);
            }
        });
        timer.start(5);
        EXPECT_EQ(row.ask(), row.answer);
        EXPECT_EQ(masked, row.masked);
    }
}

// Mistakes on the command line are told by the program itself, with no display needed.
TEST(CommandLineTest, OnePageAtMostAndMistakesAreToldAsSuch)
{
    using Ask = CommandLine::Ask;
    struct Row {
        QStringList arguments;
        Ask ask;
        QString page, errorHas;
    } rows[] = {
        {{"--", "-odd.html"}, Ask::Run, "-odd.html", ""},
        {{"-platform", "offscreen", "a.html"}, Ask::Run, "a.html", ""},
        {{"a.html", "b.html"}, Ask::Wrong, "", "Only one PAGE can be opened at a time"},
        {{"-style", "fusion", "a.html", "b.html"}, Ask::Wrong, "", "2 were given"},
        {{"--", "-style", "a.html"}, Ask::Wrong, "", "-style, a.html"},
        {{"--bogus", "a.html"}, Ask::Wrong, "", "bogus"},
        {{""}, Ask::Wrong, "", "empty"},
        {{"--help"}, Ask::Help, "", ""},
        {{"a.html", "b.html", "--version"}, Ask::Version, "", ""},
        {{"check", "--format", "json", "--", "-gone.html"}, Ask::Check, "", ""}, // checked without a display: 2, as it is not there
        {{"check"}, Ask::Wrong, "", "at least one PATH"},
        {{"check", "--format=xml", "a.html"}, Ask::Wrong, "", "junit or html, not \"xml\""},
        {{"check", "-x", "a.html"}, Ask::Wrong, "", "no option -x"},
        {{"check", "--baseline=a", "--write-baseline", "b", "c.html"}, Ask::Wrong, "", "not both"},
        {{"check", "c.html", "--baseline"}, Ask::Wrong, "", "--baseline needs a value"},
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const CommandLine line = readCommandLine(QStringList{"brindlework"} + row.arguments);
        EXPECT_EQ(line.ask, row.ask);
        EXPECT_EQ(line.page, row.page);
        EXPECT_TRUE(line.error.contains(row.errorHas) && line.error.isEmpty() == row.errorHas.isEmpty())
            << line.error.toStdString();
        if (row.ask == Ask::Run)
            continue; // that would open the window
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(BW_PROGRAM, row.arguments);
        ASSERT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitCode(), row.ask == Ask::Wrong || row.ask == Ask::Check ? 2 : 0);
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        EXPECT_TRUE(err.contains(row.errorHas) && err.contains(row.ask == Ask::Wrong ? kUsage : "")) << err.toStdString();
    }
}

} // namespace
} // namespace bw

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // What the window shows is there when the handler returns: no test waits for a decode.
    bw::PictureLoader::setDecodeInline(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
