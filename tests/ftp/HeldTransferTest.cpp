// The FTP component's actions on their own thread, each held at its start until the test lets
// it go: the progress dialog and Cancel, the answers in order, and what the windows do with
// presses, closes and deletes that come in the meantime.
#include <QProgressDialog>
#include <chrono>

#include "platform/qt/QtTransfers.h"
#include "support/AppFixture.h"
#include "support/Gate.h"
#include "support/ScriptedFtp.h"

namespace bw {
namespace {

using namespace std::chrono_literals;

// Each download passes the gate before its bytes, and `returned` once done (its progress asked).
struct HeldFtp : test::ScriptedFtp, test::Gate {
    test::Gate returned;
    FtpResult download(const std::string& remoteName, const std::string& localPath) override
    {
        pass();
        const FtpResult result = ScriptedFtp::download(remoteName, localPath);
        return returned.pass(), result;
    }
};

const std::string kPage = "<img src=a.gif>";

TEST(Transfers, AnswersComeInOrderAsHandlersAndCancelInTheDialogStopsTheOneHeld)
{
    struct Row {
        const char* name;
        bool cancel, boxOpen; // boxOpen: the first answer asks for the second and waits in a box's loop for its end
        std::vector<std::string> answers; // of the held download, then of the connect asked after it
    } rows[] = {
        {"let go", false, false, {"ok", "ok"}},
        {"Cancel pressed", true, false, {"The action was cancelled.", "ok"}},
        {"an answer waits for the box of the one before", false, true, {"ok", "box closed", "ok"}},
    };
    test::TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HeldFtp server;
        server.remote["/page.html"] = kPage;
        QtBusy busy(0ms);
        std::vector<std::string> answers;
        {
            QtTransfers transfers(server, busy);
            auto answer = [&](const FtpResult& result) {
                EXPECT_TRUE(handlers::running()) << "an answer runs as a handler";
                answers.push_back(result.ok ? "ok" : result.error);
            };
            auto connect = [&] { transfers.run("Connecting", [](FtpClient& c) { return c.connect("site", "u", "p"); }, answer); };
            server.hold(true);
            transfers.run("Downloading page.html", [&](FtpClient& c) { return c.download("page.html", dir.path("page.html")); },
                          [&](const FtpResult& result) {
                              answer(result);
                              if (!row.boxOpen)
                                  return;
                              connect();
                              while (!transfers.connected()) // the connect has returned; its answer waits
                                  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                              answers.push_back("box closed");
                          });
            server.waitHeld();
            if (!row.boxOpen)
                connect();
            while (!busy.dialog())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            EXPECT_EQ((busy.dialog()->objectName() + "|" + busy.dialog()->windowTitle() + "|" + busy.dialog()->labelText()).toStdString(),
                      "FtpProgress|BRINDLEWORK|Downloading page.html\nWaiting for the server");
            EXPECT_TRUE(busy.dialog()->isModal());
            EXPECT_FALSE(handlers::runAlone([] {})) << "no handler starts while a transfer is to answer";
            if (row.cancel)
                QTest::mouseClick(busy.dialog()->findChild<QPushButton*>(), Qt::LeftButton);
            // The download goes on without this thread's events: Cancel must have reached it already.
            server.returned.hold(true);
            server.hold(false);
            server.returned.waitHeld();
            server.returned.hold(false);
            test::waitForTransfers();
            EXPECT_FALSE(transfers.running());
            EXPECT_EQ(busy.dialog(), nullptr);
        }
        EXPECT_EQ(answers, row.answers);
        EXPECT_EQ(std::filesystem::exists(dir.path("page.html")), !row.cancel);
        std::filesystem::remove(dir.path("page.html"));
    }
}

// The FTP window connected, a page's download held: every button pressed through the
// accessibility bus, the window closed, or deleted, before the download is let go.
struct HeldWindow : test::AppFixture<> {
    HeldFtp server;
    void SetUp() override
    {
        server.listings["/"] = {"drwxr-xr-x 1 u g 0 Jan 01 00:00 sub\r\n-rw-r--r-- 1 u g 9 Jan 01 00:00 page.html\r\n"};
        server.listings["/sub/"] = {};
        server.remote["/page.html"] = kPage;
        startApp(&server);
    }
};

TEST_F(HeldWindow, WhatComesWhileADownloadIsUnderWayIsRefusedOrDropsItsAnswerSafely)
{
    const struct Row {
        const char *name, *button; // button: pressed, or "close", or "delete"
        bool windowStays = true;
    } rows[] = {
        {"Exit", "Command8"}, {"Disconnect", "Command6"}, {"Parent Dir", "Command5"},
        {"Start Batching", "Command7"}, {"Upload edited pages", "Command9"}, {"Show changes", "Command10"},
        {"the window closed", "close"}, {"the window deleted, as when the program ends", "delete", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        dir.write("ftp/site/anonymous/page.html", "edited"); // Upload and Show changes are there
        app->showFtp();
        QPointer<QWidget> window = app->ftpWindow();
        window->findChild<QComboBox*>("Combo1")->lineEdit()->clear();
        QTest::keyClicks(window->findChild<QComboBox*>("Combo1")->lineEdit(), "site");
        test::press(window->findChild<QPushButton*>("Command1"));
        test::waitForTransfers();
        dialogs.answers = {Answer::Yes}; // replace the edited copy
        dialogs.shown.clear();
        server.calls.clear();
        server.hold(true);
        auto* list = window->findChild<QListWidget*>("List3");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
        server.waitHeld();

        if (row.button == std::string("close"))
            window->close();
        else if (row.button == std::string("delete"))
            delete window.data();
        else {
            auto* button = window->findChild<QPushButton*>(row.button);
            ASSERT_TRUE(button->isEnabled() && button->isVisible());
            test::press(button);
        }
        EXPECT_EQ(!window.isNull() && window->isVisible(), row.windowStays);
        server.hold(false);
        test::waitForTransfers();
        settle();

        EXPECT_EQ(!window.isNull(), row.windowStays);
        EXPECT_EQ(server.calls, std::vector<std::string>({"stat page.html", "download page.html " + dir.path("ftp/site/anonymous/.page.html.original")}));
        EXPECT_EQ(test::readAll(dir.path("ftp/site/anonymous/page.html")), kPage);
        ASSERT_EQ(dialogs.shown.size(), 1u) << "only the question before the download";
        if (window) {
            EXPECT_TRUE(window->findChild<QPushButton*>("Command6")->isEnabled()) << "still connected";
            window->close();
            settle();
        }
        EXPECT_EQ(app->ftpWindow(), nullptr);
    }
}

} // namespace
} // namespace bw
