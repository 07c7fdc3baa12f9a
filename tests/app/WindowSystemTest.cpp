// What the X server is told: the titles of the real windows and boxes, read back from it.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <cstring>
#include <string>
#include <xcb/xcb.h>

#include "app/RealBoxes.h"
#include "app/qt/Windows.h"
#include "support/AppFixture.h"
#include "support/ScriptedFtp.h"

namespace bw {
namespace {

// Reads _NET_WM_NAME, the title a window manager shows, over a connection of its own.
class TitleReader {
public:
    TitleReader() : connection_(xcb_connect(nullptr, nullptr))
    {
        netWmName_ = atom("_NET_WM_NAME");
        utf8_ = atom("UTF8_STRING");
    }
    ~TitleReader() { xcb_disconnect(connection_); }

    QString title(WId window) const
    {
        auto cookie = xcb_get_property(connection_, 0, static_cast<xcb_window_t>(window), netWmName_, utf8_, 0, 4096);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(connection_, cookie, nullptr);
        if (!reply)
            return {};
        QString text = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply)),
                                         xcb_get_property_value_length(reply));
        free(reply);
        return text;
    }
    // The window a box stands over (WM_TRANSIENT_FOR): managers keep it above that one.
    WId transientFor(WId window) const
    {
        auto cookie = xcb_get_property(connection_, 0, static_cast<xcb_window_t>(window), XCB_ATOM_WM_TRANSIENT_FOR,
                                       XCB_ATOM_WINDOW, 0, 1);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(connection_, cookie, nullptr);
        WId owner = 0;
        if (reply && xcb_get_property_value_length(reply) == sizeof(xcb_window_t))
            owner = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
        free(reply);
        return owner;
    }
    // Where the server has the window (no window manager: its frame), in root coordinates.
    QRect geometry(WId window) const
    {
        xcb_flush(connection_);
        const auto id = static_cast<xcb_window_t>(window);
        xcb_get_geometry_reply_t* size = xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, id), nullptr);
        if (!size)
            return {};
        auto* at = xcb_translate_coordinates_reply(connection_, xcb_translate_coordinates(connection_, id, size->root, 0, 0),
                                                   nullptr);
        QRect rect(at ? at->dst_x : 0, at ? at->dst_y : 0, size->width, size->height);
        free(at);
        free(size);
        return rect;
    }
    QRect screen() const
    {
        const xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        return QRect(0, 0, s->width_in_pixels, s->height_in_pixels);
    }
    // The title once the program's requests have reached the server.
    QString settled(QWidget& window, const QString& expected) const
    {
        QElapsedTimer waited;
        waited.start();
        QString seen = title(window.winId());
        while (seen != expected && waited.elapsed() < 3000) {
            QTest::qWait(10);
            seen = title(window.winId());
        }
        return seen;
    }

private:
    xcb_atom_t atom(const char* name) const
    {
        auto cookie = xcb_intern_atom(connection_, 0, static_cast<uint16_t>(strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection_, cookie, nullptr);
        xcb_atom_t found = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        free(reply);
        return found;
    }
    xcb_connection_t* connection_;
    xcb_atom_t netWmName_ = XCB_ATOM_NONE, utf8_ = XCB_ATOM_NONE;
};

struct Titles : test::AppFixture<test::RealBoxes> {
    void SetUp() override
    {
        if (QGuiApplication::platformName() != "xcb")
            GTEST_SKIP() << "no X server (DISPLAY is not set); run under xvfb-run -a to check the titles";
        dir.write("site/sun.gif", test::kGif);
        dir.write("a[*]b/sun.gif", test::kGif);
        startApp();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&app->window()));
    }
};

TEST_F(Titles, TheWindowSystemGetsExactlyTheProgramsTitles)
{
    TitleReader reader;
    const std::string page = dir.write("site/page.html", "<img SRC=\"sun.gif\">");
    const std::string odd = dir.write("a[*]b/page[*].html", "<img SRC=\"sun.gif\">");
    const std::string savedCopy = dir.path("site/copy.html");
    struct Row {
        const char* name;
        std::function<void()> action;
        QString window;                // the main window's title afterwards
        std::vector<std::string> boxes; // the titles of the boxes shown, in order
    };
    Form1& form = app->form();
    const Row rows[] = {
        {"at start", [] {}, "BRINDLEWORK", {}},
        {"a page opened", [&] { form.openPath(page); }, QString::fromStdString("BRINDLEWORK Beta " + page), {}},
        {"RESET asks", [&] { form.Command1_Click(); }, "BRINDLEWORK Beta", {"BRINDLEWORK"}},
        {"a name with Qt's modified mark", [&] { form.openPath(odd); },
         QString::fromStdString("BRINDLEWORK Beta " + odd), {}},
        {"a page that is not there", [&] { form.nytt(); form.openPath(dir.path("gone.html")); },
         QString::fromStdString("BRINDLEWORK Beta " + dir.path("gone.html")), {"File Not Found"}},
        {"a picture that is not there",
         [&] { form.openPath(dir.write("site/bg.html", "<body background=\"sun.gif\"><img SRC=\"gone.gif\">")); },
         QString::fromStdString("BRINDLEWORK Beta " + dir.path("site/bg.html")), {"Pic Not Found"}},
        {"Save As", [&] { dialogs.scripted.chosen.push_back(savedCopy); form.fileSaveas(); }, "BRINDLEWORK Beta",
         {"File Saved"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> boxes;
        test::BoxAnswerer answerer([&](QMessageBox& box) {
            QString seen = reader.title(box.winId());
            if (seen.isEmpty())
                return false; // not told yet
            boxes.push_back(seen.toStdString());
            EXPECT_EQ(reader.transientFor(box.winId()), app->window().winId()) << seen.toStdString();
            return true;
        });
        app->window().run(row.action);
        EXPECT_EQ(boxes, row.boxes);
        EXPECT_EQ(reader.settled(app->window(), row.window).toStdString(), row.window.toStdString());
    }

    app->window().findChild<QAction*>("ab")->trigger();
    ASSERT_NE(app->about(), nullptr);
    EXPECT_EQ(reader.settled(*app->about(), "BRINDLEWORK").toStdString(), "BRINDLEWORK");
}

struct Places : Titles {
    test::ScriptedFtp ftp;
    void SetUp() override
    {
        if (QGuiApplication::platformName() != "xcb")
            GTEST_SKIP() << "no X server; run under xvfb-run -a";
        startApp(&ftp);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&app->window()));
    }
};

TEST_F(Places, EveryWindowOpensWhollyOnTheMainWindowsScreenBesideItOrOverIt)
{
    TitleReader reader;
    const QRect screen = reader.screen();
    struct Row {
        const char* name;
        QRect main; // the main window's client area
        bool beside;
    } rows[] = {
        {"main window at the left", {0, 0, 542, 300}, true},
        {"main window at the right", {screen.width() - 560, 100, 542, 300}, true},
        {"main window filling the screen", {0, 0, screen.width() - 40, screen.height() - 60}, false},
    };
    const std::pair<const char*, std::function<QWidget*()>> windows[] = {
        {"Local Batch", [&] { app->showLocalBatch(); return static_cast<QWidget*>(app->batchWindow()); }},
        {"BRINDLEWORK FTP", [&] { app->showFtp(); return static_cast<QWidget*>(app->ftpWindow()); }},
        {"Ftp Setup", [&] { app->showSetup(nullptr); return static_cast<QWidget*>(app->setupWindow()); }},
    };
    for (const Row& row : rows) {
        app->window().setGeometry(row.main);
        QTest::qWait(50);
        const QRect main = reader.geometry(app->window().winId());
        for (const auto& [title, open] : windows) {
            SCOPED_TRACE(std::string(row.name) + ", " + title);
            QWidget* window = open();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
            QTest::qWait(50);
            const QRect placed = reader.geometry(window->winId());
            // Announced as a window, by its title.
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(window);
            EXPECT_TRUE(accessible->role() == QAccessible::Window || accessible->role() == QAccessible::Dialog);
            EXPECT_EQ(accessible->text(QAccessible::Name).toStdString(), title);
            EXPECT_TRUE(screen.contains(placed)) << placed.x() << "," << placed.y() << " " << placed.width() << "x"
                                                 << placed.height();
            // Beside when there is room on either side.
            const bool room = main.left() - 8 >= placed.width() || screen.right() - main.right() - 8 >= placed.width();
            EXPECT_EQ(placed.intersects(main), !(row.beside && room)) << placed.x() << "," << placed.y() << " " << placed.width()
                                                            << "x" << placed.height() << " main " << main.x() << ","
                                                            << main.y() << " " << main.width() << "x" << main.height();
            if (std::string(title) == "Ftp Setup") {
                // Its question stands centred over it.
                QPoint box;
                std::vector<std::string> asked;
                test::BoxAnswerer answerer([&](QMessageBox& shown) {
                    // Once the server has it where Qt put it (a box may grow after it is mapped).
                    const QRect onServer = reader.geometry(shown.winId());
                    if (onServer != shown.frameGeometry())
                        return false;
                    box = onServer.center();
                    asked.push_back(shown.text().toStdString());
                    return true;
                });
                QTest::keyClicks(window->findChild<QWidget*>("Text1"), "h");
                QTest::mouseClick(window->findChild<QPushButton*>("Command1"), Qt::LeftButton);
                auto* list = window->findChild<QListWidget*>("List1");
                ASSERT_EQ(list->count(), 1);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
                ASSERT_FALSE(asked.empty());
                EXPECT_EQ(asked.back(), "Do you want to delete this ftp ?");
                const QPoint centre = reader.geometry(window->winId()).center();
                // Without a window manager Qt allows for a frame it cannot see: 10 px across, 40 down.
                EXPECT_TRUE(std::abs(box.x() - centre.x()) <= 10 && std::abs(box.y() - centre.y()) <= 40)
                    << box.x() << "," << box.y() << " over " << centre.x() << "," << centre.y();
                EXPECT_TRUE(screen.contains(box));
            }
            window->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
}

} // namespace
} // namespace bw

int main(int argc, char** argv)
{
    // ctest starts this under its own Xvfb (xvfb-run -a); without one there is nothing to read.
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    QApplication app(argc, argv);
    bw::nameProgram(); // as the program names itself
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
