// The FTP window's logic with the real FTP component, against real servers on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "ftp/FtpForm.h"
#include "platform/curl/CurlFtp.h"
#include "support/Doubles.h"
#include "support/FtpServer.h"

namespace bw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::readAll;

const std::string kUser = "tester", kPassword = "s3cret word";
const std::string kInner = "<html><img SRC=\"cup.gif\" ALT=\"\"></html>";

struct Stopper : Busy {
    bool stop = false;
    void begin(const std::string&) override {}
    bool progress(std::uint64_t, std::uint64_t) override { return !stop; }
    void end() override {}
};

struct ServerWindow : ::testing::Test {
    test::ScriptedDialogs dialogs;
    RealFileSystem files;
    test::RecordingShell shell;
    test::FakeHost host;
    test::MemorySettings settings;
    test::TempDir site, local;
    Platform platform{dialogs, files, shell, host, settings};
    Form1 form{platform, Version{1, 0, 6}};
    Stopper busy;
    CurlFtpClient client{FtpTimeouts{2000ms, 1000ms, 2000ms}};
    std::unique_ptr<ftp> w;

    ServerWindow()
    {
        form.Form_Load();
        site.write("index.html", "<html>top</html>");
        site.write("my folder/inner page.html", kInner);
        site.write("my folder/cup.gif", test::kGif);
        site.write("big.bin", std::string(4 << 20, 'b'));
    }
    ftp& open(const std::string& hostName, const std::string& user, const std::string& password)
    {
        w = std::make_unique<ftp>(platform, form, client, busy, local.path("dl/"));
        w->Form_Load();
        w->Combo1.Text = hostName;
        w->Combo1_Change();
        w->Text2.setText(user);
        w->Text3.setText(password);
        return *w;
    }
    static bool has(const ListBox& list, const std::string& item)
    {
        return std::find(list.items().begin(), list.items().end(), item) != list.items().end();
    }
    std::string lastMessage() const { return dialogs.shown.empty() ? "" : dialogs.shown.back().text; }

    // Connect, walk into a folder with a space in its name, download, walk up, Start Batching.
    void walk(const std::string& hostName, const std::string& user, const std::string& password)
    {
        ftp& f = open(hostName, user, password);
        f.Command1_Click();
        ASSERT_TRUE(dialogs.shown.empty()) << lastMessage();
        EXPECT_TRUE(has(f.List2, "my folder"));
        EXPECT_TRUE(has(f.List3, "index.html"));
        test::clickRow(f.List2, "my folder");
        EXPECT_TRUE(has(f.List3, "inner page.html"));
        test::clickRow(f.List3, "inner page.html");
        test::clickRow(f.List3, "cup.gif");
        EXPECT_EQ(readAll(local.path("dl/inner page.html")), kInner);
        f.Command5_Click();
        EXPECT_TRUE(has(f.List3, "index.html"));
        EXPECT_TRUE(dialogs.shown.empty()) << lastMessage();
        f.List1.Clear();
        f.List1.AddItem("inner page.html");
        f.Command7_Click();
        f.Form_Unload();
        EXPECT_FALSE(client.connected());
        EXPECT_EQ(form.Label3.Caption, "1 / 1");
        EXPECT_EQ(form.Text6.Text(), local.path("dl/inner page.html"));
        EXPECT_EQ(form.List2.items(), std::vector<std::string>{"cup.gif"});
        EXPECT_TRUE(dialogs.shown.empty()) << lastMessage();
        EXPECT_EQ(readAll(site.path("my folder/inner page.html")), kInner);
    }
};

TEST_F(ServerWindow, WalksAndDownloadsFromPyftpdlib)
{
    test::LocalFtpServer server(site.path(), kUser, kPassword, local.path("logins"));
    if (!server.running())
        GTEST_SKIP() << server.failure << ". Install Debian's python3-pyftpdlib (tools/dev.sh does).";
    walk(server.host(), kUser, kPassword);
}

TEST_F(ServerWindow, WalksAndDownloadsFromVsftpdWhoseNamesStandAtColumn57)
{
    test::TempDir work;
    test::VsftpdServer server(BW_VSFTPD, site.path(), work.path());
    if (!server.running())
        GTEST_SKIP() << server.failure << ". Install Debian's vsftpd (tools/dev.sh does).";
    walk(server.host(), "ftp", "any password");
}

TEST_F(ServerWindow, FaultsAreToldAndTheWindowStaysUsable)
{
    struct Row {
        const char* name;
        std::function<void(ServerWindow&, test::LocalFtpServer&)> act;
        std::string told; // a part of the one message
        std::function<void(ServerWindow&, test::LocalFtpServer&)> thenUsable;
    };
    auto connected = [](ServerWindow& t, test::LocalFtpServer& s) {
        t.open(s.host(), kUser, kPassword).Command1_Click();
        ASSERT_TRUE(t.dialogs.shown.empty()) << t.lastMessage();
    };
    auto downloadsIndex = [](ServerWindow& t, test::LocalFtpServer&) {
        t.dialogs.shown.clear();
        test::clickRow(t.w->List3, "index.html");
        EXPECT_TRUE(t.dialogs.shown.empty()) << t.lastMessage();
        EXPECT_EQ(readAll(t.w->tempPath() + "index.html"), "<html>top</html>");
    };
    auto connectsAgain = [](ServerWindow& t, test::LocalFtpServer& s) {
        EXPECT_TRUE(t.w->Command1.Enabled);
        t.dialogs.shown.clear();
        t.w->Text1.setText(s.host());
        t.w->Text2.setText(kUser);
        t.w->Text3.setText(kPassword);
        t.w->Command1_Click();
        EXPECT_TRUE(t.dialogs.shown.empty()) << t.lastMessage();
        EXPECT_TRUE(has(t.w->List2, "my folder"));
    };
    test::SilentListener silent;
    const std::vector<Row> rows = {
        {"wrong password", [](ServerWindow& t, test::LocalFtpServer& s) { t.open(s.host(), kUser, "wrong").Command1_Click(); },
         "refused the user name or password", connectsAgain},
        {"a server that never answers",
         [&](ServerWindow& t, test::LocalFtpServer&) {
             t.open("127.0.0.1:" + std::to_string(silent.port()), kUser, kPassword).Command1_Click();
         },
         "did not answer in time", connectsAgain},
        {"a missing remote file",
         [&](ServerWindow& t, test::LocalFtpServer& s) {
             connected(t, s);
             t.w->List3.AddItem("gone.html");
             test::clickRow(t.w->List3, "gone.html");
         },
         "not on the server", downloadsIndex},
        {"a temp path that cannot be written",
         [&](ServerWindow& t, test::LocalFtpServer& s) {
             connected(t, s);
             t.local.write("file", "x");
             t.w->Text8.setText(t.local.path("file/dl"));
             test::clickRow(t.w->List3, "index.html");
         },
         "file/dl", [&](ServerWindow& t, test::LocalFtpServer& s) {
             t.w->Text8.setText(t.local.path("dl2"));
             downloadsIndex(t, s);
         }},
        {"a cancelled download",
         [&](ServerWindow& t, test::LocalFtpServer& s) {
             connected(t, s);
             t.busy.stop = true;
             test::clickRow(t.w->List3, "big.bin");
             t.busy.stop = false;
             EXPECT_FALSE(fs::exists(t.w->tempPath() + "big.bin"));
             for (const auto& e : fs::directory_iterator(t.w->tempPath()))
                 ADD_FAILURE() << "left behind: " << e.path();
         },
         "cancelled", downloadsIndex},
        {"a server stopped in mid-session",
         [&](ServerWindow& t, test::LocalFtpServer& s) {
             connected(t, s);
             s.stop();
             test::clickRow(t.w->List2, "my folder");
         },
         "", [&](ServerWindow& t, test::LocalFtpServer&) {
             EXPECT_TRUE(t.w->Command5.Enabled);
             t.w->Command6_Click();
             EXPECT_TRUE(t.w->Command1.Enabled);
             EXPECT_FALSE(t.client.connected());
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::LocalFtpServer server(site.path(), kUser, kPassword, local.path("logins"));
        if (!server.running())
            GTEST_SKIP() << server.failure << ". Install Debian's python3-pyftpdlib (tools/dev.sh does).";
        dialogs.shown.clear();
        fs::remove_all(local.path("dl"));
        row.act(*this, server);
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].title, "BRINDLEWORK");
        EXPECT_NE(dialogs.shown[0].text.find(row.told), std::string::npos) << dialogs.shown[0].text;
        row.thenUsable(*this, server);
        client.disconnect();
    }
}

} // namespace
} // namespace bw
