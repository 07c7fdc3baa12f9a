// The curl FTP component against real servers on loopback, one of them misbehaving on purpose.
#include <gtest/gtest.h>

#include <curl/curl.h>
#include <filesystem>
#include <optional>

#include "ftp/Listing.h"
#include "platform/curl/CurlFtp.h"
#include "support/Doubles.h"
#include "support/FtpServer.h"

namespace bw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Names = std::vector<std::string>;

const std::string kUser = "tester", kPassword = "s3cret word";
const std::string kPage = std::string("<html>\r\n<img SRC=\"a.gif\">") + '\0' + "\xff\xfe\r\n</html>";
const FtpTimeouts kQuick{2000ms, 1000ms, 2000ms};

// The current folder's listing as it reaches the caller: names in order, folders with a "/".
struct Listed {
    FtpResult result;
    Names names;
    size_t cut = 0;
};
Listed listing(FtpClient& ftp)
{
    Listed out;
    RawListing raw;
    out.result = ftp.list([&](std::string_view text) { raw.append(text); });
    raw.finish();
    for (const auto& line : raw.lines())
        out.names.push_back(listingName(line) + (isDirectoryLine(line) ? "/" : ""));
    out.cut = raw.cut();
    return out;
}

// The servers log a line for each login, and with a listing of their own every command.
std::string logged(const test::TempDir& dir) { return test::readAll(dir.path("log")); }

struct RealServer : ::testing::Test {
    RealServer()
    {
        site.write("index.html", kPage);
        site.write("big.bin", std::string(8 << 20, 'x'));
        site.write("my folder/inner page.html", "inner");
        fs::create_directories(site.path("my folder/sub"));
    }
    void SetUp() override
    {
        if (!server.running() || !odd.running())
            GTEST_FAIL() << server.failure + odd.failure << ". Install Debian's python3-pyftpdlib (tools/dev.sh does).";
    }
    test::TempDir site, local, oddDir;
    test::LocalFtpServer server{site.path(), kUser, kPassword, local.path("log")};
    // Sends the listing the test writes, records every command.
    test::LocalFtpServer odd{oddDir.path(), "u", "p", oddDir.path("log"), oddDir.write("listing", "x")};
};

TEST_F(RealServer, ConnectsOnlyToAServerThatAnswersAndTakesTheLoginAndSendsNoControlCharacter)
{
    test::LocalFtpServer silent(site.path(), "u", "p", local.path("silent")), gone(site.path(), "u", "p", local.path("gone"));
    silent.pause();
    gone.stop();
    const std::string control = "control character", notHost = "is not a host name";
    struct Row {
        std::string host, user, password;
        int number;
        std::string told = ""; // a part of the error
    } rows[] = {
        {server.host(), kUser, kPassword, 0},
        {server.host(), kUser, "wrong", CURLE_LOGIN_DENIED},
        {gone.host(), kUser, kPassword, CURLE_COULDNT_CONNECT},
        {silent.host(), kUser, kPassword, CURLE_OPERATION_TIMEDOUT},
        {odd.host(), "u", "wonder\r\nDELE index.html", ftp_error::badName, control},
        {odd.host(), "u\nDELE index.html", "p", ftp_error::badName, control},
        {odd.host(), "u", "p\x7f", ftp_error::badName, control},
        {"", "u", "p", ftp_error::badName, notHost},
        {"host name", "u", "p", ftp_error::badName, notHost},
        {"user@evil.example", "u", "p", ftp_error::badName, notHost},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.host + " " + row.user + " " + row.password);
        CurlFtpClient ftp(kQuick);
        const FtpResult r = ftp.connect(row.host, row.user, row.password);
        EXPECT_EQ(r.number, row.number) << r.error;
        EXPECT_EQ(r.error.empty(), row.number == 0);
        EXPECT_NE(r.error.find(row.told), std::string::npos) << r.error;
        EXPECT_EQ(ftp.list({}).number, row.number == 0 ? 0 : ftp_error::notConnected);
    }
    EXPECT_EQ(logged(oddDir), "") << "a line end would have sent a command of its own";
}

TEST_F(RealServer, WalksAndDownloadsWholeOrNotAtAllOnOneLogin)
{
    CurlFtpClient ftp(kQuick);
    const FtpResult connected = ftp.connect(server.host(), kUser, kPassword);
    ASSERT_TRUE(connected.ok) << connected.error;
    EXPECT_EQ(ftp.changeDir("missing").number, CURLE_REMOTE_ACCESS_DENIED);
    EXPECT_EQ(ftp.changeDir("../..").number, ftp_error::badName);
    ASSERT_TRUE(ftp.changeDir("my folder").ok && ftp.changeDir(".").ok);
    EXPECT_EQ(ftp.currentDir(), "/my folder");
    EXPECT_EQ(listing(ftp).names, (Names{"inner page.html", "sub/"}));
    ASSERT_TRUE(ftp.changeDir("..").ok && ftp.parentDir().ok);
    EXPECT_EQ(ftp.currentDir(), "/");
    EXPECT_EQ(listing(ftp).names, (Names{"big.bin", "index.html", "my folder/"}));

    struct Row {
        std::string remote;
        int number;
        std::optional<std::string> after = {}; // the local file afterwards
        const char* old = nullptr;             // the local file before
        bool cancel = false;                   // the progress callback stops once bytes arrived
        std::string target = "page.html";
    } rows[] = {
        {"index.html", 0, kPage},
        {"index.html", 0, kPage, "edited"},
        {"big.bin", 0, std::string(8 << 20, 'x')},
        {"missing.html", CURLE_REMOTE_FILE_NOT_FOUND, "edited", "edited"},
        {"../index.html", ftp_error::badName},
        {"index.html", ftp_error::localFile, {}, nullptr, false, "none/page.html"},
        {"big.bin", ftp_error::cancelled, "edited", "edited", true},
        {"big.bin", ftp_error::cancelled, {}, nullptr, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.remote + " into " + row.target + (row.old ? ", an older copy there" : ""));
        EXPECT_EQ(logged(local), "tester\n") << "one login so far";
        test::TempDir into;
        if (row.old)
            into.write(row.target, row.old);
        std::uint64_t seen = 0;
        ftp.setProgress([&](std::uint64_t done, std::uint64_t) {
            seen = std::max(seen, done);
            return !(row.cancel && done > 0);
        });
        const FtpResult r = ftp.download(row.remote, into.path(row.target));
        EXPECT_EQ(r.number, row.number) << r.error;
        EXPECT_EQ(fs::is_regular_file(into.path(row.target)), row.after.has_value());
        EXPECT_EQ(test::readAll(into.path(row.target)), row.after.value_or(""));
        if (r.ok) {
            EXPECT_EQ(seen, row.after->size()) << "progress sees every byte";
        }
        for (const auto& e : fs::directory_iterator(into.path()))
            EXPECT_EQ(e.path().filename().string().find(".part-"), std::string::npos) << "a half file stayed";
    }
    ftp.setProgress({});

    EXPECT_TRUE(ftp.disconnect().ok);
    EXPECT_EQ(ftp.download("index.html", local.path("again.html")).number, ftp_error::notConnected);
}

// A long-format line as pyftpdlib writes it.
std::string entry(const std::string& name) { return "-rw-r--r--   1 owner    group        1234 Mar 07 12:00 " + name + "\r\n"; }

TEST_F(RealServer, ListingsThatWouldHideOrStallAreReadWholeAndParentDirClimbsAboveTheLogin)
{
    const std::string huge(5 << 20, 'n'), endless(20 << 20, 'z');
    struct Row {
        const char* what;
        std::string listing; // as sent; none: LIST is refused
        Names names;
        size_t cut;
        std::string error = "";
    } rows[] = {
        {"a name ending in CR", entry("x\r") + entry("after.html"), {"x\r", "after.html"}, 0},
        {"a lone CR", entry("a\rb") + entry("after.html"), {"a\rb", "after.html"}, 0},
        {"a 5 MB name", entry(huge) + entry("after.html"), {huge.substr(0, kMaxListingLine - 55), "after.html"}, 1},
        {"20 MB without a line end", entry("first.html") + endless, {"first.html", endless.substr(0, kMaxListingLine - 55)}, 1},
        {"a refused listing", "", {}, 0, "The server refused to list the folder (its answer: 550)."},
    };
    CurlFtpClient ftp(kQuick);
    ASSERT_TRUE(ftp.connect(odd.host(), "u", "p").ok);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        oddDir.write("listing", row.listing);
        const Listed listed = listing(ftp);
        EXPECT_EQ(listed.result.error, row.error);
        EXPECT_TRUE(listed.names == row.names) << listed.names.size() << " names";
        EXPECT_EQ(listed.cut, row.cut);
    }
    // The server keeps the login folder's name to itself: twice up is two folders up.
    EXPECT_TRUE(ftp.parentDir().ok && ftp.parentDir().ok);
    EXPECT_NE(logged(oddDir).find("\nCWD ../..\n"), std::string::npos) << logged(oddDir);
}

} // namespace
} // namespace bw
