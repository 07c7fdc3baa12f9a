// The FTP window in the real program, offscreen, against a local FTP server: the sample
// site browsed, two pages downloaded and worked as a batch; a download cancelled from the
// progress dialog.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <filesystem>

#include "app/qt/Windows.h"
#include "platform/curl/CurlFtp.h"
#include "support/AppFixture.h"
#include "support/Doubles.h"
#include "support/FtpServer.h"

namespace bw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::readAll;

const std::string kUser = "tester", kPassword = "s3cret word";

struct FtpGui : test::AppFixture<> {
    test::TempDir site;
    CurlFtpClient client{FtpTimeouts{3000ms, 2000ms, 3000ms}};
    std::unique_ptr<test::LocalFtpServer> server;

    void SetUp() override
    {
        fs::copy(BW_SAMPLE_SITE, site.path("my pages"), fs::copy_options::recursive);
        site.write("big.bin", std::string(4 << 20, 'b'));
        server = std::make_unique<test::LocalFtpServer>(site.path(), kUser, kPassword, dir.path("logins"));
        if (!server->running())
            GTEST_SKIP() << server->failure << ". Install Debian's python3-pyftpdlib (tools/dev.sh does).";
        startApp(&client);
        app->window().move(40, 40);
    }
    template <class T> T* main(const char* name) { return app->window().findChild<T*>(name); }
    template <class T> T* ftpw(const char* name) { return app->ftpWindow()->findChild<T*>(name); }
    void typeInto(QLineEdit* edit, const std::string& text)
    {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, QString::fromStdString(text));
    }
    void clickRow(QListWidget* list, const QString& text)
    {
        auto found = list->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found[0]).center());
    }
    QStringList rows(QListWidget* list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    void connectTo(const std::string& host)
    {
        main<QAction>("ftpa")->trigger();
        ASSERT_NE(app->ftpWindow(), nullptr);
        typeInto(ftpw<QComboBox>("Combo1")->lineEdit(), host);
        typeInto(ftpw<QLineEdit>("Text2"), kUser);
        typeInto(ftpw<QLineEdit>("Text3"), kPassword);
        typeInto(ftpw<QLineEdit>("Text8"), dir.path("downloads"));
        QTest::mouseClick(ftpw<QPushButton>("Command1"), Qt::LeftButton);
    }
};

TEST_F(FtpGui, DownloadsTwoPagesAndWorksThemAsABatch)
{
    const std::string indexText = readAll(site.path("my pages/index.html"));
    const std::string newsText = readAll(site.path("my pages/news.html"));
    connectTo(server->host());
    QWidget& window = *app->ftpWindow();
    EXPECT_EQ(window.windowTitle(), "BRINDLEWORK FTP");
    const QRect room = window.screen()->availableGeometry(), frame = window.frameGeometry();
    EXPECT_EQ(room.intersected(frame).size(), frame.size().boundedTo(room.size())) << "on the screen as far as it fits";
    const std::pair<const char*, const char*> named[] = {
        {"Combo1", "Host Name"}, {"Text2", "User Name"}, {"Text3", "Password"}, {"Text8", "Temp path:"},
        {"List2", "Directories"}, {"List3", "Files"}, {"List1", "Files downloaded to Batch"}};
    for (auto [name, accessible] : named)
        EXPECT_EQ(QAccessible::queryAccessibleInterface(ftpw<QWidget>(name))->text(QAccessible::Name), accessible) << name;
    EXPECT_EQ(ftpw<QLineEdit>("Text3")->echoMode(), QLineEdit::Password);
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->isVisible()) {
            EXPECT_FALSE(label->accessibleDescription().isEmpty()) << label->objectName().toStdString();
        }
    }
    ASSERT_TRUE(dialogs.shown.empty()) << dialogs.shown[0].text;
    EXPECT_EQ(rows(ftpw<QListWidget>("List2")), QStringList{"my pages"});
    EXPECT_FALSE(ftpw<QLabel>("Text5")->isVisible());
    EXPECT_TRUE(ftpw<QPushButton>("Command6")->isEnabled());

    clickRow(ftpw<QListWidget>("List2"), "my pages");
    EXPECT_TRUE(rows(ftpw<QListWidget>("List3")).contains("news.html"));
    clickRow(ftpw<QListWidget>("List3"), "index.html");
    clickRow(ftpw<QListWidget>("List3"), "news.html");
    for (const char* image : {"logo.gif", "sun.gif", "house.gif", "boat.jpg"})
        clickRow(ftpw<QListWidget>("List3"), image);
    EXPECT_EQ(rows(ftpw<QListWidget>("List1")), (QStringList{"index.html", "news.html"})) << "pictures are no batch rows";
    EXPECT_TRUE(dialogs.shown.empty());
    if (const char* shots = std::getenv("BW_SCREENSHOTS"))
        window.grab().save(QString(shots) + "/ftp-window.png");

    QTest::mouseClick(ftpw<QPushButton>("Command7"), Qt::LeftButton);
    for (int i = 0; i < 100 && app->ftpWindow(); ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(app->ftpWindow(), nullptr) << "the FTP window closes";
    EXPECT_FALSE(client.connected()) << "and ends its connection";
    EXPECT_EQ(main<QLabel>("Label3")->text(), "1 / 2");
    EXPECT_TRUE(main<QPushButton>("Command7")->isVisible());
    const std::string first = dir.path("downloads/index.html");
    EXPECT_EQ(app->form().Text6.Text(), first);

    auto* alt = main<QPlainTextEdit>("Text1");
    alt->selectAll();
    QTest::keyClicks(alt, "Harbour logo");
    QTest::mouseClick(main<QPushButton>("Command3"), Qt::LeftButton);
    EXPECT_NE(readAll(first).find("ALT=\"Harbour logo\""), std::string::npos);

    QTest::mouseClick(main<QPushButton>("Command7"), Qt::LeftButton);
    EXPECT_EQ(main<QLabel>("Label3")->text(), "2 / 2");
    EXPECT_EQ(app->form().Text6.Text(), dir.path("downloads/news.html"));
    EXPECT_EQ(readAll(site.path("my pages/index.html")), indexText) << "the server's files are unchanged";
    EXPECT_EQ(readAll(site.path("my pages/news.html")), newsText);
}

TEST_F(FtpGui, CancelInTheProgressDialogEndsTheDownloadAndTheWindowStaysUsable)
{
    // "Connecting" is on screen while the server keeps the connect waiting.
    bool connecting = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (app->ftpWindow() && ftpw<QLabel>("Text5")->isVisible() && !connecting) {
            connecting = true;
            server->resume();
        }
    });
    server->pause();
    watch.start(20);
    connectTo(server->host());
    watch.stop();
    server->resume();
    EXPECT_TRUE(connecting);
    EXPECT_FALSE(ftpw<QLabel>("Text5")->isVisible());
    ASSERT_TRUE(dialogs.shown.empty()) << dialogs.shown[0].text;
    server->pause(); // the transfer stalls: the dialog comes up after half a second
    std::string label, name;
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        if (QProgressDialog* d = app->ftpBusy().dialog(); d && d->isVisible()) {
            label = d->labelText().toStdString();
            name = QAccessible::queryAccessibleInterface(d)->text(QAccessible::Name).toStdString();
            if (auto* button = d->findChild<QPushButton*>())
                QTest::mouseClick(button, Qt::LeftButton);
        }
    });
    cancel.start(20);
    clickRow(ftpw<QListWidget>("List3"), "big.bin");
    cancel.stop();
    server->resume();
    EXPECT_EQ(app->ftpBusy().shown(), 1);
    EXPECT_EQ(app->ftpBusy().dialog(), nullptr);
    EXPECT_NE(label.find("Downloading big.bin"), std::string::npos) << label;
    EXPECT_EQ(name, "BRINDLEWORK") << "named by its title";
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "BRINDLEWORK");
    EXPECT_EQ(dialogs.shown[0].text, "The action was cancelled.");
    EXPECT_FALSE(fs::exists(dir.path("downloads/big.bin")));

    // Usable: the same file again, to the end.
    clickRow(ftpw<QListWidget>("List3"), "big.bin");
    EXPECT_EQ(dialogs.shown.size(), 1u) << dialogs.shown.back().text;
    EXPECT_EQ(fs::file_size(dir.path("downloads/big.bin")), 4u << 20);
    app->ftpWindow()->close();
    EXPECT_FALSE(client.connected());
}

} // namespace
} // namespace bw
