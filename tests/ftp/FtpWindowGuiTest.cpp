// The "BRINDLEWORK FTP" window, offscreen, against a local FTP server: the sample site
// browsed, a download cancelled and done again, two pages worked as a batch and sent back.

#include <QProgressDialog>
#include <chrono>

#include "ftp/Upload.h"
#include "platform/curl/CurlFtp.h"
#include "support/AppFixture.h"
#include "support/FtpServer.h"

namespace bw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A box's own event loop runs what was posted meanwhile, as a real box's does.
struct ModalBoxes : test::ScriptedDialogs {
    Answer msgBox(const std::string& text, Buttons buttons, const std::string& title, Answer preferred) override
    {
        QCoreApplication::processEvents();
        return ScriptedDialogs::msgBox(text, buttons, title, preferred);
    }
};

struct FtpGui : test::AppFixture<ModalBoxes> {
    test::TempDir site;
    CurlFtpClient client{FtpTimeouts{3000ms, 2000ms, 3000ms}};
    std::unique_ptr<test::LocalFtpServer> server;

    void SetUp() override
    {
        fs::copy(BW_SAMPLE_SITE, site.path("my pages"), fs::copy_options::recursive);
        site.write("big.bin", std::string(4 << 20, 'b'));
        server = std::make_unique<test::LocalFtpServer>(site.path(), "tester", "s3cret word", dir.path("logins"), "", "elradfmw");
        if (!server->running())
            GTEST_FAIL() << server->failure << ". Install Debian's python3-pyftpdlib (tools/dev.sh does).";
        startApp(&client);
    }
    // The FTP window, its boxes typed in and Connect pressed.
    QWidget& connectWindow(const char* downloads = "downloads")
    {
        child<QAction>("ftpa")->trigger();
        QWidget& window = *app->ftpWindow();
        for (auto [edit, text] : {std::pair{window.findChild<QComboBox*>("Combo1")->lineEdit(), server->host()},
                                  {window.findChild<QLineEdit*>("Text2"), "tester"}, {window.findChild<QLineEdit*>("Text3"), "s3cret word"},
                                  {window.findChild<QLineEdit*>("Text8"), dir.path(downloads)}}) {
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, QString::fromStdString(text));
        }
        QTest::mouseClick(window.findChild<QPushButton*>("Command1"), Qt::LeftButton);
        test::waitForTransfers();
        return window;
    }
    // Where a file of the server's folder lands below the temp path.
    std::string downloaded(const std::string& folder, const std::string& name) const
    {
        return dir.path("downloads/" + mirrorFolder(server->host(), "tester", folder) + name);
    }
    // The batch's progress as the main window shows it with "Move to next file", or "hidden".
    QString progress()
    {
        const bool shown = child<QLabel>("Label3")->isVisible() && child<QPushButton>("Command7")->isVisible();
        return shown ? child<QLabel>("Label3")->text() : "hidden";
    }
    void startBatching(QWidget& window)
    {
        QTest::mouseClick(window.findChild<QPushButton*>("Command7"), Qt::LeftButton);
        for (int i = 0; i < 100 && app->ftpWindow(); ++i)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        test::waitForTransfers(); // the window's disconnect
    }
};

TEST_F(FtpGui, FtpWindowWalk)
{
    QWidget& window = connectWindow();
    auto list = [&](const char* name) { return window.findChild<QListWidget*>(name); };
    EXPECT_FALSE(window.findChild<QLineEdit*>("Text3")->displayText().contains("cret")) << "the password is shown as typed";
    ASSERT_TRUE(dialogs.shown.empty()) << dialogs.shown[0].text;
    EXPECT_EQ(test::rows(list("List2")), QStringList{"my pages"});

    // A stalled download: the window will not close under it, and Cancel in the progress dialog ends it.
    server->pause();
    std::string label;
    bool closed = false;
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        if (QProgressDialog* busy = app->ftpBusy().dialog(); busy && busy->isVisible()) {
            label = busy->labelText().toStdString();
            window.close();
            closed = closed || !window.isVisible();
            QTest::mouseClick(busy->findChild<QPushButton*>(), Qt::LeftButton);
        }
    });
    cancel.start(20);
    test::clickRow(list("List3"), "big.bin");
    cancel.stop();
    server->resume();
    EXPECT_FALSE(closed);
    EXPECT_NE(label.find("Downloading big.bin"), std::string::npos) << label;
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text + "|" + dialogs.shown[0].title, "The action was cancelled.|BRINDLEWORK");
    EXPECT_FALSE(fs::exists(downloaded("/", "big.bin")));
    test::clickRow(list("List3"), "big.bin"); // the same row again downloads it again, to the end
    EXPECT_EQ(fs::file_size(downloaded("/", "big.bin")), 4u << 20);

    // Pages picked go to the batch list, pictures not; Start Batching opens the first from the temp path.
    test::clickRow(list("List2"), "my pages");
    for (const char* file : {"index.html", "news.html", "logo.gif"})
        test::clickRow(list("List3"), file);
    EXPECT_EQ(test::rows(list("List1")), (QStringList{"index.html", "news.html"}));
    startBatching(window);
    EXPECT_EQ(app->ftpWindow(), nullptr);
    EXPECT_FALSE(client.connected());
    EXPECT_EQ(progress(), "1 / 2");
    EXPECT_EQ(app->window().windowTitle().toStdString(), "BRINDLEWORK Beta " + downloaded("/my pages", "index.html"));

    // An ALT typed in the batch goes back into the server's page; a change made there meanwhile
    // is asked about and, by default, kept.
    const std::string onServer = site.path("my pages/index.html"), local = downloaded("/my pages", "index.html");
    auto upload = [&](const char* alt) {
        dialogs.shown.clear();
        auto* text1 = child<QPlainTextEdit>("Text1");
        text1->selectAll();
        QTest::keyClicks(text1, alt);
        child<QAction>("up")->trigger();
        test::waitForTransfers();
    };
    ASSERT_TRUE(child<QAction>("up")->isVisible());
    upload("Our logo");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Uploaded: 1 page\nSkipped: 0\nFailed: 0");
    EXPECT_NE(test::readAll(onServer).find("ALT=\"Our logo\""), std::string::npos);
    EXPECT_EQ(test::readAll(onServer), test::readAll(local));
    const std::string theirs = test::readAll(onServer) + "<!-- changed on the server -->";
    site.write("my pages/index.html", theirs);
    dialogs.chosenButtons = {-1};
    upload("The logo");
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].text, "index.html changed on the server since you downloaded it. Overwrite it?");
    EXPECT_EQ(dialogs.shown[1].text, "Uploaded: 0 pages\nSkipped: 1\nFailed: 0");
    EXPECT_EQ(test::readAll(onServer), theirs);
    EXPECT_NE(test::readAll(local).find("The logo"), std::string::npos);
    click("Command7");
    EXPECT_EQ(progress(), "2 / 2");
    EXPECT_EQ(app->window().windowTitle().toStdString(), "BRINDLEWORK Beta " + downloaded("/my pages", "news.html"));
}

// The main window shows the batch's progress and "Move to next file" once Start Batching opened its
// first page, also when a box came on the way ("Pic Not Found" for a picture left on the server).
TEST_F(FtpGui, BatchProgressShowsInTheMainWindow)
{
    QWidget& window = connectWindow();
    test::clickRow(window.findChild<QListWidget*>("List2"), "my pages");
    for (const char* file : {"index.html", "news.html"})
        test::clickRow(window.findChild<QListWidget*>("List3"), file);
    startBatching(window);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Pic Not Found");
    EXPECT_EQ(progress(), "1 / 2");
    click("Command7");
    EXPECT_EQ(progress(), "2 / 2");
}

} // namespace
} // namespace bw
