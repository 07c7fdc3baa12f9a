#include <gtest/gtest.h>

#include <chrono>
#include <curl/curl.h>
#include <filesystem>
#include <optional>
#include <set>
#include <sys/wait.h>

#include "ftp/Listing.h"
#include "platform/curl/CurlFtp.h"
#include "support/Doubles.h"
#include "support/FtpServer.h"

namespace bw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::readAll;

const std::string kUser = "tester";
const std::string kPassword = "s3cret word";
const char kPageBytes[] = "<html>\r\n<img SRC=\"a.gif\">\0\xff\xfe\r\n</html>";
const std::string kPage(kPageBytes, sizeof kPageBytes - 1);

struct Listed {
    std::set<std::string> dirs, files;
    bool wholeLines = true; // every piece ended with CR LF
};

Listed listNames(FtpClient& ftp, FtpResult* result = nullptr)
{
    Listed out;
    RawListing raw;
    FtpResult r = ftp.list([&](std::string_view text) {
        out.wholeLines = out.wholeLines && text.size() >= 2 && text.substr(text.size() - 2) == "\r\n";
        raw.append(text);
    });
    raw.finish();
    if (result)
        *result = r;
    for (const auto& line : raw.lines())
        (isDirectoryLine(line) ? out.dirs : out.files).insert(listingName(line));
    return out;
}

size_t loginsIn(const std::string& log)
{
    std::string text = readAll(log);
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

class FtpServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        site.write("index.html", kPage);
        site.write("empty.html", "");
        site.write("big.bin", std::string(8 << 20, 'x'));
        site.write("my folder/inner page.html", "inner");
        site.write("my folder/sub/deep.html", "deep");
        fs::create_directories(site.path("pages"));
        server = std::make_unique<test::LocalFtpServer>(site.path(), kUser, kPassword, logins());
        if (!server->running())
            GTEST_SKIP() << "The local FTP server could not start: " << server->failure
                         << ". Install Debian's python3-pyftpdlib (tools/dev.sh does).";
    }

    std::string logins() const { return local.path("logins.txt"); }
    FtpResult login(CurlFtpClient& ftp) { return ftp.connect(server->host(), kUser, kPassword); }

    test::TempDir site, local;
    std::unique_ptr<test::LocalFtpServer> server;
    FtpTimeouts quick{2000ms, 1000ms, 2000ms};
};

TEST_F(FtpServerTest, LogsInOnlyWithTheRightUserAndPassword)
{
    struct Row {
        std::string user, password;
        int number;
    };
    const std::vector<Row> rows = {
        {kUser, kPassword, 0},
        {kUser, "wrong", CURLE_LOGIN_DENIED},
        {"nobody", kPassword, CURLE_LOGIN_DENIED},
        {kUser, "", CURLE_LOGIN_DENIED},
    };
    for (const auto& row : rows) {
        CurlFtpClient ftp(quick);
        FtpResult r = ftp.connect(server->host(), row.user, row.password);
        EXPECT_EQ(r.number, row.number) << row.user << "/" << row.password << ": " << r.error;
        EXPECT_EQ(r.ok, row.number == 0);
        EXPECT_EQ(ftp.connected(), row.number == 0);
        EXPECT_EQ(r.error.empty(), row.number == 0) << r.error;
        if (!r.ok) {
            EXPECT_EQ(ftp.list({}).number, ftp_error::notConnected);
        }
    }
}

TEST_F(FtpServerTest, WalksFoldersAndDownloadsOnOneLogin)
{
    CurlFtpClient ftp(quick);
    ASSERT_TRUE(login(ftp).ok);

    Listed top = listNames(ftp);
    EXPECT_TRUE(top.wholeLines);
    EXPECT_EQ(top.dirs, (std::set<std::string>{"my folder", "pages"}));
    EXPECT_EQ(top.files, (std::set<std::string>{"index.html", "empty.html", "big.bin"}));

    struct Step {
        const char* action; // "cd NAME", "up"
        int number;
        std::string dir;
        std::set<std::string> files, dirs;
    };
    const std::vector<Step> steps = {
        {"cd my folder", 0, "/my folder", {"inner page.html"}, {"sub"}},
        {"cd sub", 0, "/my folder/sub", {"deep.html"}, {}},
        {"cd missing", CURLE_REMOTE_ACCESS_DENIED, "/my folder/sub", {"deep.html"}, {}},
        {"cd ../..", ftp_error::badName, "/my folder/sub", {"deep.html"}, {}},
        {"up", 0, "/my folder", {"inner page.html"}, {"sub"}},
        {"cd .", 0, "/my folder", {"inner page.html"}, {"sub"}},
        {"cd ..", 0, "/", {"index.html", "empty.html", "big.bin"}, {"my folder", "pages"}},
        {"up", 0, "/", {"index.html", "empty.html", "big.bin"}, {"my folder", "pages"}},
        {"cd pages", 0, "/pages", {}, {}},
    };
    for (const auto& step : steps) {
        std::string action = step.action;
        FtpResult r = action == "up" ? ftp.parentDir() : ftp.changeDir(action.substr(3));
        EXPECT_EQ(r.number, step.number) << action << ": " << r.error;
        EXPECT_EQ(ftp.currentDir(), step.dir) << action;
        FtpResult listed;
        Listed names = listNames(ftp, &listed);
        ASSERT_TRUE(listed.ok) << action << ": " << listed.error;
        EXPECT_EQ(names.files, step.files) << action;
        EXPECT_EQ(names.dirs, step.dirs) << action;
    }

    ASSERT_TRUE(ftp.parentDir().ok);
    ASSERT_TRUE(ftp.changeDir("my folder").ok);
    ASSERT_TRUE(ftp.download("inner page.html", local.path("inner page.html")).ok);
    EXPECT_EQ(readAll(local.path("inner page.html")), "inner");
    ASSERT_TRUE(ftp.parentDir().ok);
    ASSERT_TRUE(ftp.download("index.html", local.path("index.html")).ok);
    EXPECT_EQ(readAll(local.path("index.html")), kPage);

    EXPECT_EQ(loginsIn(logins()), 1u);

    EXPECT_TRUE(ftp.disconnect().ok);
    EXPECT_FALSE(ftp.connected());
    EXPECT_TRUE(ftp.disconnect().ok);
    EXPECT_EQ(ftp.list({}).number, ftp_error::notConnected);
    EXPECT_EQ(ftp.changeDir("pages").number, ftp_error::notConnected);
    EXPECT_EQ(ftp.parentDir().number, ftp_error::notConnected);
    EXPECT_EQ(ftp.download("index.html", local.path("again.html")).number, ftp_error::notConnected);
    EXPECT_FALSE(fs::exists(local.path("again.html")));
}

TEST_F(FtpServerTest, DownloadsWholeOrNotAtAllAndKeepsAnOlderCopy)
{
    struct Row {
        const char* what;
        std::string remote;
        const char* old;   // the local file before, nullptr for none
        bool cancel;       // the progress callback stops the transfer once bytes arrived
        int number;
        std::optional<std::string> after; // the local file afterwards
    };
    const std::string big(8 << 20, 'x');
    const std::vector<Row> rows = {
        {"new file", "index.html", nullptr, false, 0, kPage},
        {"empty file", "empty.html", nullptr, false, 0, ""},
        {"replaces an older copy", "index.html", "edited", false, 0, kPage},
        {"missing remote file", "missing.html", nullptr, false, CURLE_REMOTE_FILE_NOT_FOUND, std::nullopt},
        {"missing remote file, older copy", "missing.html", "edited", false, CURLE_REMOTE_FILE_NOT_FOUND, "edited"},
        {"cancelled", "big.bin", nullptr, true, ftp_error::cancelled, std::nullopt},
        {"cancelled, older copy", "big.bin", "edited", true, ftp_error::cancelled, "edited"},
        {"name leaving the folder", "../index.html", nullptr, false, ftp_error::badName, std::nullopt},
        {"name with a slash", "my folder/inner page.html", nullptr, false, ftp_error::badName, std::nullopt},
    };
    CurlFtpClient ftp(quick);
    ASSERT_TRUE(login(ftp).ok);
    for (const auto& row : rows) {
        test::TempDir into;
        std::string target = into.path("page.html");
        if (row.old)
            into.write("page.html", row.old);
        std::uint64_t seen = 0;
        ftp.setProgress([&](std::uint64_t done, std::uint64_t) {
            seen = std::max(seen, done);
            return !(row.cancel && done > 0);
        });
        FtpResult r = ftp.download(row.remote, target);
        EXPECT_EQ(r.number, row.number) << row.what << ": " << r.error;
        EXPECT_EQ(r.error.empty(), row.number == 0) << row.what;
        if (row.cancel) {
            EXPECT_GT(seen, 0u) << row.what;
        }
        if (row.after) {
            EXPECT_EQ(readAll(target), *row.after) << row.what;
        } else {
            EXPECT_FALSE(fs::exists(target)) << row.what;
        }
        size_t entries = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(into.path()))
            ++entries;
        EXPECT_EQ(entries, row.after ? 1u : 0u) << row.what << ": no half file stays behind";
        EXPECT_TRUE(ftp.connected()) << row.what;
    }

    // The session goes on after a cancel, and progress sees every byte of a full transfer.
    std::uint64_t done = 0, total = 0;
    ftp.setProgress([&](std::uint64_t d, std::uint64_t t) {
        done = std::max(done, d);
        total = std::max(total, t);
        return true;
    });
    ASSERT_TRUE(ftp.download("big.bin", local.path("big.bin")).ok);
    EXPECT_EQ(readAll(local.path("big.bin")), big);
    EXPECT_EQ(done, big.size());
    EXPECT_TRUE(total == 0 || total == big.size()) << total;

    // A cancelled listing says so too.
    ftp.setProgress([](std::uint64_t, std::uint64_t) { return false; });
    EXPECT_EQ(ftp.list({}).number, ftp_error::cancelled);
}

TEST_F(FtpServerTest, LocalFolderThatCannotTakeTheFileIsNamed)
{
    CurlFtpClient ftp(quick);
    ASSERT_TRUE(login(ftp).ok);
    fs::create_directories(local.path("a folder.html"));
    const std::vector<std::string> targets = {local.path("no such folder/index.html"), local.path("a folder.html"), ""};
    for (const auto& target : targets) {
        FtpResult r = ftp.download("index.html", target);
        EXPECT_EQ(r.number, ftp_error::localFile) << target << ": " << r.error;
        if (!target.empty()) {
            EXPECT_NE(r.error.find(fs::path(target).parent_path().string()), std::string::npos) << r.error;
        }
    }
    EXPECT_FALSE(fs::exists(local.path("no such folder")));
    EXPECT_TRUE(fs::is_directory(local.path("a folder.html")));
}

TEST_F(FtpServerTest, ServerThatStopsAnsweringTimesOutAndTheSessionRecovers)
{
    CurlFtpClient ftp(quick);
    ASSERT_TRUE(login(ftp).ok);
    server->pause();
    FtpResult r = ftp.list({});
    server->resume();
    EXPECT_EQ(r.number, CURLE_OPERATION_TIMEDOUT) << r.error;

    // The dropped session logs in again by itself at the next action.
    r = ftp.list({});
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(loginsIn(logins()), 2u);

    server->stop();
    r = ftp.download("index.html", local.path("index.html"));
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_FALSE(fs::exists(local.path("index.html")));
}

// A long-format line as pyftpdlib writes it, the name at column 56.
std::string entry(char type, const std::string& name) { return std::string(1, type) + "rw-r--r--   1 owner    group        1234 Mar 07 12:00 " + name + "\r\n"; }

TEST(HostileServer, ListingsThatWouldHideOrStallAreReadWhole)
{
    const std::string huge(5 << 20, 'n');
    struct Row {
        const char* what;
        test::HostileFtpServer::Script script;
        std::vector<std::string> files; // names listed, in order
        size_t cut;
        std::string error; // a part of the failure, or none
    };
    const std::vector<Row> rows = {
        {"a name ending in CR", {entry('-', "x\r") + entry('-', "after.html"), {}, false, {}}, {"x\r", "after.html"}, 0, ""},
        {"a lone CR", {entry('-', "a\rb") + entry('-', "after.html"), {}, false, {}}, {"a\rb", "after.html"}, 0, ""},
        {"a 5 MB name", {entry('-', huge) + entry('-', "after.html"), {}, false, {}}, {huge.substr(0, kMaxListingLine - 55), "after.html"}, 1, ""},
        {"20 MB without a line end", {entry('-', "first.html") + std::string(20 << 20, 'z'), {}, false, {}}, {"first.html", std::string(kMaxListingLine - 55, 'z')}, 1, ""},
        {"a refused listing", {{}, {}, true, {}}, {}, 0, "The server refused to list the folder (its answer: 550)."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        test::HostileFtpServer server(row.script);
        ASSERT_TRUE(server.running());
        CurlFtpClient ftp({2000ms, 2000ms, 2000ms});
        ASSERT_TRUE(ftp.connect(server.host(), "u", "p").ok);
        RawListing raw;
        const auto start = std::chrono::steady_clock::now();
        FtpResult r = ftp.list([&](std::string_view text) { raw.append(text); });
        raw.finish();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        EXPECT_EQ(r.error, row.error);
        std::vector<std::string> files;
        for (const auto& line : raw.lines())
            files.push_back(listingName(line));
        EXPECT_EQ(files.size(), row.files.size());
        EXPECT_TRUE(files == row.files);
        EXPECT_EQ(raw.cut(), row.cut);
    }
}

TEST(HostileServer, ControlCharactersInALoginSendNothing)
{
    test::HostileFtpServer server({});
    ASSERT_TRUE(server.running());
    const std::vector<std::vector<std::string>> rows = {
        {"", "u", "wonder\r\nDELE index.html"}, {"", "u\nDELE index.html", "p"}, {"", "u", "p\x7f"}, {"\r\nDELE x", "u", "p"}};
    for (const auto& row : rows) {
        CurlFtpClient ftp({500ms, 500ms, 500ms});
        FtpResult r = ftp.connect(server.host() + row[0], row[1], row[2]);
        EXPECT_EQ(r.number, ftp_error::badName) << r.error;
        EXPECT_NE(r.error.find("control character"), std::string::npos) << r.error;
    }
    EXPECT_EQ(server.sessions(), 0);
    EXPECT_TRUE(server.commands().empty());
}

TEST(HostileServer, ATrickleEndsAsStalledAndHalfDownloadsOfEndedRunsGo)
{
    test::HostileFtpServer server({{}, std::string(4000, 't'), false, 20ms});
    ASSERT_TRUE(server.running());
    CurlFtpClient ftp({2000ms, 2000ms, 1000ms});
    ASSERT_TRUE(ftp.connect(server.host(), "u", "p").ok);
    test::TempDir into;
    into.write("page.html", "older");
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string stale = ".page.html.part-" + std::to_string(ended) + "-AbC123";
    const std::string running = ".news.html.part-" + std::to_string(::getpid()) + "-XyZ789";
    into.write(stale, "half");
    into.write(running, "still coming");
    const auto start = std::chrono::steady_clock::now();
    ftp.setProgress([&](std::uint64_t, std::uint64_t) { return std::chrono::steady_clock::now() - start < 8s; });
    FtpResult r = ftp.download("page.html", into.path("page.html"));
    EXPECT_EQ(r.number, CURLE_OPERATION_TIMEDOUT) << r.error;
    EXPECT_NE(r.error.find("stalled"), std::string::npos) << r.error;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 6s);
    EXPECT_EQ(readAll(into.path("page.html")), "older");
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(into.path()))
        left.insert(e.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"page.html", running}));
}

TEST(FtpClient, UnreachableServersAndOddHostNamesGiveErrors)
{
    test::SilentListener silent;
    ASSERT_GT(silent.port(), 0);
    int closedPort = 0;
    {
        test::SilentListener gone;
        closedPort = gone.port();
    }
    struct Row {
        std::string host;
        int number;
    };
    const std::vector<Row> rows = {
        {"127.0.0.1:" + std::to_string(closedPort), CURLE_COULDNT_CONNECT},
        {"127.0.0.1:" + std::to_string(silent.port()), CURLE_OPERATION_TIMEDOUT},
        {"", ftp_error::badName},
        {"host name", ftp_error::badName},
        {"host:99999", ftp_error::badName},
        {"host:", ftp_error::badName},
        {"host:21x", ftp_error::badName},
        {"evil.example/../x", ftp_error::badName},
        {"user@evil.example", ftp_error::badName},
        {"[::1", ftp_error::badName},
    };
    for (const auto& row : rows) {
        CurlFtpClient ftp({500ms, 500ms, 500ms});
        FtpResult r = ftp.connect(row.host, "u", "p");
        EXPECT_EQ(r.number, row.number) << row.host << ": " << r.error;
        EXPECT_FALSE(r.error.empty()) << row.host;
        EXPECT_FALSE(ftp.connected()) << row.host;
    }
}

} // namespace
} // namespace bw
