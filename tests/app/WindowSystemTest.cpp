// What the X server holds of the real windows and boxes (titles, owners, places), and how a
// screen reader names the windows.

#include <QAccessible>
#include <QMessageBox>
#include <cstring>
#include <xcb/xcb.h>

#include "support/AppFixture.h"
#include "support/ScriptedFtp.h"

namespace bw {
namespace {

// Reads a window's property from the server, as a window manager would.
class Server {
public:
    Server() : c_(xcb_connect(nullptr, nullptr)) {}
    ~Server() { xcb_disconnect(c_); }
    QByteArray property(WId window, const char* name) const
    {
        auto* atom = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(strlen(name)), name), nullptr);
        auto* reply = xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, xcb_window_t(window), atom->atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096), nullptr);
        const QByteArray value(static_cast<const char*>(xcb_get_property_value(reply)), xcb_get_property_value_length(reply));
        free(atom);
        free(reply);
        return value;
    }
    // The title a window manager shows, once the program's requests have reached the server.
    std::string title(QWidget& window, const std::string& expected = "") const
    {
        for (int i = 0; i < 300 && !expected.empty() && property(window.winId(), "_NET_WM_NAME") != expected.c_str(); ++i)
            QTest::qWait(10);
        return property(window.winId(), "_NET_WM_NAME").toStdString();
    }

private:
    xcb_connection_t* c_;
};

// Counts how often the main window is raised.
struct Raises : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::ZOrderChange;
        return false;
    }
};

struct WindowSystem : test::AppFixture<QtDialogs> { // real boxes
    test::ScriptedFtp ftp;
    void SetUp() override
    {
        if (QGuiApplication::platformName() != "xcb")
            GTEST_SKIP() << "no X server (DISPLAY is not set); run under xvfb-run -a";
        startApp(&ftp);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&app->window()));
    }
};

TEST_F(WindowSystem, TitlesPlacesAndNamesAsTheServerAndReadersHaveThem)
{
    Server server;
    dir.write("site/sun.gif", test::kGif);
    dir.write("a[*]b/sun.gif", test::kGif);
    const std::string page = dir.write("site/page.html", "<img SRC=\"sun.gif\">");
    const std::string odd = dir.write("a[*]b/page[*].html", "<img SRC=\"sun.gif\">");
    const std::string background = dir.write("site/bg.html", "<body background=\"sun.gif\"><img SRC=\"gone.gif\">");
    EditorSession& form = app->editor();
    const quint32 main = app->window().winId();
    Raises raises;
    app->window().installEventFilter(&raises);
    struct Row {
        std::function<void()> action;
        std::string window;             // the main window's title afterwards
        std::vector<std::string> boxes; // the titles of the boxes shown, in order
    } rows[] = {
        {[&] { form.openPath(page); }, "BRINDLEWORK Beta " + page, {}},
        // The box stays open until the splash has gone, which must leave it on top.
        {[&] { form.reset(); }, "BRINDLEWORK Beta", {"BRINDLEWORK"}},
        {[&] { form.openPath(odd); }, "BRINDLEWORK Beta " + odd, {}}, // Qt's modified mark in the name
        {[&] { form.clearAll(); form.openPath(dir.path("gone.html")); }, "BRINDLEWORK Beta " + dir.path("gone.html"),
         {"File Not Found"}},
        {[&] { form.openPath(background); }, "BRINDLEWORK Beta " + background, {"Pic Not Found"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.window);
        std::vector<std::string> boxes;
        int raisedAtOpen = -1;
        QTimer answerer; // answers each box Yes or OK once the server has its title and the splash has gone
        QObject::connect(&answerer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            raisedAtOpen = raisedAtOpen < 0 && box ? raises.count : raisedAtOpen;
            if (!box || server.title(*box).empty() || app->splashLoaded())
                return;
            boxes.push_back(server.title(*box));
            EXPECT_EQ(raises.count, raisedAtOpen) << "the main window was raised over the open box";
            EXPECT_EQ(server.property(box->winId(), "WM_TRANSIENT_FOR"), QByteArray::fromRawData((const char*)&main, 4));
            (box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes) : box->button(QMessageBox::Ok))->click();
        });
        answerer.start(5);
        app->window().run(row.action);
        EXPECT_EQ(boxes, row.boxes);
        EXPECT_EQ(server.title(app->window(), row.window), row.window);
    }

    // Each window opens wholly on the screen, beside the main window when there is room, and is named by its title.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (const QRect& at : {QRect(0, 0, 542, 300), QRect(screen.width() - 560, 100, 542, 300), screen.adjusted(0, 0, -40, -60)}) {
        app->window().setGeometry(at);
        QTest::qWait(50);
        const QRect main = app->window().frameGeometry();
        app->showLocalBatch();
        app->showFtp();
        app->showSetup(nullptr);
        const std::pair<QWidget*, std::string> windows[] = {
            {app->batchWindow(), "Local Batch"}, {app->ftpWindow(), "BRINDLEWORK FTP"}, {app->setupWindow(), "Ftp Setup"}};
        for (const auto& [window, title] : windows) {
            SCOPED_TRACE(title + " by a main window at " + std::to_string(at.x()) + "," + std::to_string(at.width()));
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
            QTest::qWait(50); // the server's word on where it went
            const QRect placed = window->frameGeometry();
            QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(window);
            EXPECT_TRUE(reader->role() == QAccessible::Window || reader->role() == QAccessible::Dialog);
            EXPECT_EQ(reader->text(QAccessible::Name).toStdString(), title);
            const QList<QWidget*> controls = window->findChildren<QWidget*>() + app->window().findChildren<QWidget*>();
            for (QWidget* control : controls) {
                const bool reached = control->isVisible() && control->focusPolicy() != Qt::NoFocus;
                EXPECT_TRUE(!reached || !QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
                    << control->metaObject()->className() << " " << control->objectName().toStdString();
            }
            EXPECT_TRUE(screen.contains(placed));
            const bool room = main.left() - 8 >= placed.width() || screen.right() - main.right() - 8 >= placed.width();
            EXPECT_EQ(placed.intersects(main), !room);
            window->close();
        }
        settle();
    }
}

TEST_F(WindowSystem, TheSplashLeavesAWindowOpenedMeanwhileOnTop)
{
    ASSERT_TRUE(app->splashLoaded());
    app->showLocalBatch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app->batchWindow()));
    Raises raises;
    app->window().installEventFilter(&raises);
    while (app->splashLoaded())
        QTest::qWait(20);
    EXPECT_EQ(raises.count, 0) << "the main window was raised over the batch window";
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
