// The curl FTP component against real servers on loopback, one of them misbehaving on purpose.
#include <gtest/gtest.h>

#include <algorithm>
#include <curl/curl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <map>
#include <regex>

#include "platform/Listing.h"
#include "ftp/Upload.h"
#include "platform/curl/CurlFtp.h"
#include "support/Doubles.h"
#include "support/FtpServer.h"
#include "support/SecureServers.h"

namespace bw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Names = std::vector<std::string>;

const std::string kUser = "tester", kPassword = "s3cret word";
const std::string kPage = std::string("<html>\r\n<img SRC=\"a.gif\">") + '\0' + "\xff\xfe\r\n</html>";
const FtpTimeouts kQuick{2000ms, 1000ms, 2000ms};
const std::string kLongName = std::string(245, 'n') + ".html"; // 250 bytes
// For the servers that answer every time: TLS and SSH handshakes on a busy machine take a while.
const FtpTimeouts kRoomy{15000ms, 15000ms, 15000ms};

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

// Keeps in `seen` the most bytes progress told of; with `cancel`, stops once bytes arrived.
void watch(FtpClient& ftp, std::uint64_t& seen, bool cancel)
{
    ftp.setProgress([&seen, cancel](std::uint64_t done, std::uint64_t) { return seen = std::max(seen, done), !(cancel && done > 0); });
}

// The servers log a line for each login, and with a listing of their own every command.
std::string logged(const test::TempDir& dir) { return test::readAll(dir.path("log")); }

// What a round trip needs of the desktop, real files and a scripted user.
struct Desk : test::Desktop<RealFileSystem> {
    NoBusy busy;
};

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
        Protocol protocol = Protocol::ftp;
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
        {odd.host(), "u", "p", CURLE_USE_SSL_FAILED, "does not offer FTP with TLS, so nothing was sent", Protocol::ftps},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.host + " " + row.user + " " + row.password);
        CurlFtpClient ftp(kQuick);
        ftp.setOptions({row.protocol, 0, "", "", "", false});
        const FtpResult r = ftp.connect(row.host, row.user, row.password);
        EXPECT_EQ(r.number, row.number) << r.error;
        EXPECT_EQ(r.error.empty(), row.number == 0);
        EXPECT_NE(r.error.find(row.told), std::string::npos) << r.error;
        EXPECT_EQ(ftp.list({}).number, row.number == 0 ? 0 : ftp_error::notConnected);
    }
    EXPECT_EQ(logged(oddDir), "AUTH TLS\nAUTH SSL\n") << "a line end would have sent a command of its own; no login without TLS";
}

// A server that drops the line or refuses a step: the user's NAME.bak stays, no page is lost,
// and the summary says where each one is. Our hidden names show as ".bw-*".
TEST_F(RealServer, AnUploadThatMeetsAFailingServerLosesNoFileAndSaysWhereEachIs)
{
    const std::string up = "Uploaded: 1 page\nSkipped: 0\nFailed: 0", asWas = "\"index.html\" on the server is as it was.";
    struct Row {
        std::string tricks;
        bool keep, userBak;
        std::string files, summary;
        std::string name = "index.html";
    } rows[] = {
        // As long as the local file system takes: the hidden names beside it are short.
        {"", false, false, kLongName + "=new", up, kLongName},
        {"drop-rnto", false, true, "index.html=new index.html.bak=mine", up},
        {"rnto-then-drop", false, true, "index.html=new index.html.bak=mine", up},
        {"no-dele", false, true, "index.html=new index.html.bak=mine", up},
        {"no-overwrite", false, true, "index.html=new index.html.bak=mine", up},
        {"mdtm-lies", false, true, "index.html=new index.html.bak=mine", up},
        {"idle-after-retr", false, true, "index.html=new index.html.bak=mine", up},
        {"no-overwrite,no-dele", false, true, ".bw-*=old index.html=new index.html.bak=mine",
         up + "\n\nindex.html: The old page stays on the server as \".bw-*\": the server would not delete it."},
        {"", true, false, "index.html=new index.html.bak=old", up},
        {"", true, true, ".bw-*=old index.html=new index.html.bak=mine",
         up + "\n\nindex.html: index.html.bak was there already, so the old page is kept as \".bw-*\"."},
        {"no-overwrite,drop-rnto", true, true, "index.html=old index.html.bak=mine",
         "Uploaded: 0 pages\nSkipped: 0\nFailed: 1\n\nindex.html: The connection to the server was lost. (response reading failed (errno: 0)) " + asWas},
    };
    const std::regex ours("\\.bw-[0-9a-f]{8}");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tricks);
        test::TempDir there, here;
        there.write(row.name, "old");
        if (row.userBak)
            there.write("index.html.bak", "mine");
        test::LocalFtpServer server(there.path(), kUser, kPassword, here.path("log"), "", "elradfmw", row.tricks);
        Desk desk;
        CurlFtpClient ftp(kQuick);
        RoundTrip trip(desk.platform(), ftp, desk.busy);
        const HostProfile profile{kUser, kPassword, "", Protocol::ftp, 0, "", row.keep};
        trip.connect(server.host(), profile, [](const FtpResult& r) { ASSERT_TRUE(r.ok) << r.error; });
        trip.fetchPage(row.name, here.path() + "/", [](const FtpResult& r) { ASSERT_TRUE(r.ok) << r.error; });
        std::ofstream(trip.pagePath(here.path() + "/", row.name)) << "new";
        trip.uploadChanged();
        std::map<std::string, std::string> seen;
        for (const auto& e : fs::directory_iterator(there.path()))
            seen[e.path().filename().string()] = test::readAll(e.path().string());
        std::string listed;
        for (const auto& [name, bytes] : seen)
            listed += (listed.empty() ? "" : " ") + name + "=" + bytes;
        EXPECT_EQ(std::regex_replace(listed, ours, ".bw-*"), row.files);
        ASSERT_FALSE(desk.dialogs.shown.empty());
        EXPECT_EQ(std::regex_replace(desk.dialogs.shown.back().text, ours, ".bw-*"), row.summary);
    }
}

// After a restart the host's profile, not the record beside the pages, says how to log in.
TEST_F(RealServer, ARecalledPageGoesOnlyTheWayItsHostsProfileSays)
{
    struct Row {
        bool profile;
        std::string record, told; // the record's line past the host; a part of the summary
    } rows[] = {
        {true, "\tu\tftp\t0\t\t0\t/\tindex.html\t-\t-\n", "does not offer FTP with TLS, so nothing was sent"},
        {true, "\tu\t/\tindex.html\t-\t-\n", "does not offer FTP with TLS, so nothing was sent"},
        {false, "\tu\t/\tindex.html\t-\t-\n", odd.host() + " has no host profile, so nothing was sent."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.record);
        fs::remove(oddDir.path("log"));
        test::TempDir temp;
        temp.write(".brindlework-downloads", odd.host() + row.record);
        temp.write("index.html", "edited");
        temp.write(".index.html.original", "as downloaded");
        Desk desk;
        auto& dialogs = desk.dialogs;
        Platform platform = desk.platform();
        HostProfiles profiles(platform);
        if (row.profile) {
            ASSERT_TRUE(test::saved(profiles, odd.host(), {"u", "p", "", Protocol::ftps, 0, "", false}).result.ok);
        }
        CurlFtpClient ftp(kQuick);
        RoundTrip trip(platform, ftp, desk.busy);
        trip.recall(temp.path() + "/");
        trip.uploadChanged();
        ASSERT_FALSE(dialogs.shown.empty());
        EXPECT_NE(dialogs.shown.back().text.find(row.told), std::string::npos) << dialogs.shown.back().text;
        EXPECT_EQ(logged(oddDir).find("USER"), std::string::npos) << logged(oddDir);
        EXPECT_EQ(logged(oddDir).find("PASS"), std::string::npos);
    }
}

// Two programs downloading into one temp path keep each other's records, in a file only the
// user may read, written in place of a link someone put there rather than through it.
TEST_F(RealServer, TwoProgramsSharingATempPathKeepEveryRecordPrivately)
{
    test::TempDir temp, elsewhere;
    const std::string records = temp.path(".brindlework-downloads"), victim = elsewhere.write("victim", "mine");
    fs::create_symlink(victim, records);
    Desk desk;
    CurlFtpClient one(kQuick), two(kQuick);
    RoundTrip first(desk.platform(), one, desk.busy), second(desk.platform(), two, desk.busy);
    const HostProfile profile{kUser, kPassword, "", Protocol::ftp, 0, "", false};
    auto ok = [](const FtpResult& r) { ASSERT_TRUE(r.ok) << r.error; };
    first.connect(server.host(), profile, ok);
    second.connect(server.host(), profile, ok);
    ASSERT_TRUE(two.changeDir("my folder").ok);
    first.fetchPage("index.html", temp.path() + "/", ok);
    second.fetchPage("inner page.html", temp.path() + "/", ok);
    first.fetchPage("index.html", temp.path() + "/", ok);
    const std::string text = test::readAll(records);
    EXPECT_NE(text.find("\tindex.html\t"), std::string::npos) << text;
    EXPECT_NE(text.find("\tinner page.html\t"), std::string::npos) << text;
    EXPECT_EQ(fs::status(records).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(test::readAll(victim), "mine");
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
        std::string told = ""; // a part of the error
    } rows[] = {
        {"index.html", 0, kPage},
        {"index.html", 0, kPage, "edited"},
        {"index.html", 0, kPage, nullptr, false, kLongName},
        {"big.bin", 0, std::string(8 << 20, 'x')},
        {"my folder", CURLE_REMOTE_FILE_NOT_FOUND, "edited", "edited", false, "page.html", "\"my folder\" is now a folder on the server"},
        {"missing.html", CURLE_REMOTE_FILE_NOT_FOUND, "edited", "edited", false, "page.html", "The file is not on the server."},
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
        watch(ftp, seen, row.cancel);
        const FtpResult r = ftp.download(row.remote, into.path(row.target));
        EXPECT_EQ(r.number, row.number) << r.error;
        EXPECT_NE(r.error.find(row.told), std::string::npos) << r.error;
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


void put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// The secure servers of a test, each as the client reaches it.
struct Secured : ::testing::Test {
    void SetUp() override
    {
        if (!vsftpd.start() || !sshd.start() || !pyTls.start() || !plain.running())
            GTEST_FAIL() << "vsftpd, sshd or pyftpdlib did not start. Install Debian's vsftpd, openssh-server, python3-pyftpdlib "
                            "and python3-openssl.";
    }
    test::Vsftpd vsftpd;
    test::Sshd sshd;
    test::PyftpdTls pyTls{kUser, kPassword};
    test::TempDir plainSite, plainLog;
    test::LocalFtpServer plain{plainSite.path(), kUser, kPassword, plainLog.path("log"), "", "elradfmw"};
    struct Target {
        const char* what;
        Protocol protocol;
        std::string host, user, remote, folder; // where the test writes, as the server and the disk name it
        std::function<void()> kill;
        test::SecureServer* server;
    };
    std::vector<Target> targets()
    {
        return {{"pyftpdlib", Protocol::ftp, plain.host(), kUser, "/", plainSite.path(), [this] { plain.stop(); }, nullptr},
                {"pyftpdlib TLS", Protocol::ftps, pyTls.host(), kUser, "/", pyTls.site, [this] { pyTls.daemon.stop(); }, &pyTls},
                {"vsftpd", Protocol::ftps, vsftpd.host(), "", "/pub", vsftpd.site, [this] { vsftpd.daemon.stop(); }, &vsftpd},
                {"sshd", Protocol::sftp, sshd.host(), "root", sshd.site, sshd.site, [this] { sshd.daemon.stop(); }, &sshd}};
    }
    FtpResult connect(CurlFtpClient& ftp, const Target& t, ConnectOptions o = {})
    {
        o.protocol = t.protocol;
        if (o.acceptedKey.empty() && t.server)
            o.acceptedKey = t.server->fingerprint();
        o.keyFile = t.protocol == Protocol::sftp ? sshd.dir.path("user") : "";
        ftp.setOptions(o);
        return ftp.connect(t.host, t.user, t.user.empty() ? "" : kPassword);
    }
};

TEST_F(Secured, TrustsOnlyTheKeyItWasShownAndNeverOneThatChanged)
{
    struct Row {
        bool accept, always, keep, renew; // accept the key shown, always, in a trust folder; after a new key
        int number;
    } rows[] = {
        {false, false, true, false, ftp_error::unknownKey}, {true, false, true, false, 0},
        {false, false, true, false, ftp_error::unknownKey}, {true, true, true, false, 0},
        {false, false, true, false, 0},                     {true, false, true, true, ftp_error::changedKey},
    };
    for (const auto& t : targets()) {
        if (!t.server)
            continue;
        test::SecureServer& server = *t.server;
        test::TempDir trust;
        const std::string trustFile = trust.path(t.protocol == Protocol::sftp ? "known_hosts" : "accepted_certificates");
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(t.what) + " accept " + std::to_string(row.accept) + std::to_string(row.always) +
                         std::to_string(row.keep) + std::to_string(row.renew));
            const std::string old = server.fingerprint();
            if (row.renew) {
                server.daemon.stop();
                server.newKey();
                ASSERT_TRUE(server.start());
            }
            CurlFtpClient ftp(kRoomy);
            const FtpResult r =
                connect(ftp, t, {Protocol::ftp, 0, "", row.keep ? trust.path() : "", row.accept ? server.fingerprint() : "-", row.always});
            EXPECT_EQ(r.number, row.number) << r.error;
            EXPECT_EQ(r.fingerprint, row.number ? server.fingerprint() : "");
            if (row.renew) {
                EXPECT_NE(r.error.find(old + ", now it is " + server.fingerprint()), std::string::npos) << r.error;
                EXPECT_NE(r.error.find(trustFile), std::string::npos) << r.error;
            }
        }
        if (t.protocol == Protocol::ftps) {
            EXPECT_EQ(fs::status(trustFile).permissions() & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
        }
    }
}

// known_hosts as OpenSSH keeps it: a server on another port of the same host is another server,
// a changed key is told with its file and line, a key type that cannot be checked is named.
TEST_F(Secured, KnownHostsNameEachServerByHostAndPortAsOpenSshDoes)
{
    test::Sshd other, rsa("rsa");
    ASSERT_TRUE(other.start() && rsa.start());
    test::TempDir trust;
    const std::string file = trust.path("known_hosts"), name = "[127.0.0.1]:" + std::to_string(sshd.port);
    auto hashed = [&](const std::string& line) { // as ssh-keygen -H writes it, HashKnownHosts too
        trust.write("hashing", line);
        return test::shell("ssh-keygen -q -H -f " + trust.path("hashing") + " >/dev/null 2>&1 && cat " + trust.path("hashing")) + "\n";
    };
    struct Row {
        const char* what;
        std::string before;
        test::Sshd* server;
        bool accept;
        int number;
        std::string after = "", told = ""; // known_hosts afterwards ("": as before); a part of the error
    } rows[] = {
        {"accepted always: kept with its port", "", &sshd, true, 0, name + " " + sshd.publicKey() + "\n"},
        {"another port of the same host is another server", name + " " + sshd.publicKey() + "\n", &other, false, ftp_error::unknownKey},
        {"a line for port 22 is not this port's", "127.0.0.1 " + other.publicKey() + "\n", &sshd, false, ftp_error::unknownKey},
        {"one of a line's names", "# mine\nelse.example," + name + " " + sshd.publicKey() + "\n", &sshd, false, 0},
        {"a changed key: its file and line", "# mine\n" + name + " " + other.publicKey() + "\n", &sshd, false, ftp_error::changedKey, "",
         "remove line 2 of " + file + " (the key for " + name + ")"},
        {"an RSA host key is named", "", &rsa, false, CURLE_FAILED_INIT, "", "An RSA host key is the usual cause"},
        {"a hashed name", hashed(name + " " + sshd.publicKey() + "\n"), &sshd, false, 0},
        {"a hashed name of port 22", hashed("127.0.0.1 " + sshd.publicKey() + "\n"), &sshd, false, ftp_error::unknownKey},
        {"a changed key under a hashed name: its line", "# mine\n" + hashed(name + " " + other.publicKey() + "\n"), &sshd, false,
         ftp_error::changedKey, "", "remove line 2 of " + file + " (the key for " + name + ")"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        trust.write("known_hosts", row.before);
        CurlFtpClient ftp(kRoomy);
        ftp.setOptions({Protocol::sftp, 0, row.server->dir.path("user"), trust.path(), row.accept ? row.server->fingerprint() : "-", true});
        const FtpResult r = ftp.connect(row.server->host(), "root", "");
        EXPECT_EQ(r.number, row.number) << r.error;
        EXPECT_NE(r.error.find(row.told), std::string::npos) << r.error;
        EXPECT_EQ(test::readAll(file), row.after.empty() ? row.before : row.after);
    }
}

// With an authority of the test's own trusted: the right name passes unasked, another name is
// refused before any login, a self-signed certificate is asked about.
TEST_F(Secured, ACertificateIsTakenOnlyForTheNameItIsMadeOutTo)
{
    test::TempDir ca;
    const std::string key = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";
    test::shell("cd " + ca.path() + " && openssl req -x509 " + key + "-days 2 -subj /CN=TestAuthority -keyout ca.key -out ca.crt 2>&1");
    auto signedFor = [&](const std::string& name, const std::string& san) {
        test::shell("cd " + ca.path() + " && openssl req " + key + "-subj /CN=" + name + " -keyout " + name + ".key -out " + name +
                    ".csr 2>&1 && printf 'subjectAltName=" + san + "' > " + name + ".ext && openssl x509 -req -in " + name +
                    ".csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 -extfile " + name + ".ext -out " + name +
                    ".crt 2>&1 && cat " + name + ".key " + name + ".crt > " + name + ".pem");
        return ca.path(name + ".pem");
    };
    struct Row {
        std::string pem;
        int number;
        bool login;
    } rows[] = {
        {signedFor("right", "IP:127.0.0.1"), 0, true},
        {signedFor("wrong.example", "DNS:wrong.example"), CURLE_PEER_FAILED_VERIFICATION, false},
        {"", ftp_error::unknownKey, false},
    };
    ::setenv("SSL_CERT_FILE", ca.path("ca.crt").c_str(), 1);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pem);
        test::PyftpdTls server(kUser, kPassword);
        if (!row.pem.empty())
            fs::copy_file(row.pem, server.dir.path("cert.pem"), fs::copy_options::overwrite_existing);
        ASSERT_TRUE(server.start());
        CurlFtpClient ftp(kRoomy);
        ftp.setOptions({Protocol::ftps, 0, "", "", "", false});
        const FtpResult r = ftp.connect(server.host(), kUser, kPassword);
        EXPECT_EQ(r.number, row.number) << r.error;
        EXPECT_EQ(test::readAll(server.dir.path("log")) == kUser + "\n", row.login);
    }
    ::unsetenv("SSL_CERT_FILE");
}

TEST_F(Secured, LogsInOverSftpWithAKeyFileOrTheAgent)
{
    test::Daemon agent;
    const std::string socket = sshd.dir.path("agent");
    // Ready once it answers: its socket is there a moment before it listens. ssh-add -l says 1 for "no keys".
    ASSERT_TRUE(agent.start({"/usr/bin/ssh-agent", "-D", "-a", socket}, [&] {
        return fs::exists(socket) && WEXITSTATUS(std::system(("SSH_AUTH_SOCK=" + socket + " ssh-add -l >/dev/null 2>&1").c_str())) == 1;
    }));
    test::shell("SSH_AUTH_SOCK=" + socket + " ssh-add " + sshd.dir.path("user") + " 2>&1");
    fs::copy_file(sshd.dir.path("user"), sshd.dir.path("bare"));
    test::shell("ssh-keygen -q -t ed25519 -N '' -f " + sshd.dir.path("stranger"));
    struct Row {
        std::string key, agent;
        int number;
    } rows[] = {{"user", "", 0}, {"bare", "", 0}, {"", socket, 0}, {"stranger", "", CURLE_LOGIN_DENIED}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key + row.agent);
        ::setenv("SSH_AUTH_SOCK", row.agent.c_str(), 1);
        CurlFtpClient ftp(kRoomy);
        ftp.setOptions({Protocol::sftp, sshd.port, row.key.empty() ? "" : sshd.dir.path(row.key), "", sshd.fingerprint()});
        const FtpResult r = ftp.connect("127.0.0.1", "root", "");
        EXPECT_EQ(r.number, row.number) << r.error;
        EXPECT_NE(r.error.find(row.number ? "refused the login" : ""), std::string::npos) << r.error;
    }
    ::unsetenv("SSH_AUTH_SOCK");
}

TEST_F(Secured, UploadsByteExactReplacingWholeOrNotAtAllAndStatsAndGoesBack)
{
    const std::string big(8 << 20, '\x80');
    struct Row {
        std::string remote, bytes;
        bool keep = false;
        std::optional<std::string> old = {}, bak = {}; // on the server before
        int number = 0;
        std::optional<std::string> bakAfter = {};
        bool cancel = false;
    } rows[] = {
        {"new page.html", kPage},
        {"empty.html", ""},
        {"index.html", kPage, false, "old"},
        {"index.html", kPage + "2", true, "old", {}, 0, "old"},
        {"index.html", kPage + "4", false, "old", "mine", 0, "mine"},
        {"index.html", big, false, "old", {}, ftp_error::cancelled, {}, true},
        {"..", kPage, false, {}, {}, ftp_error::badName},
        {"a\r\nDELE index.html", kPage, false, {}, {}, ftp_error::badName},
    };
    test::TempDir local;
    for (const auto& t : targets()) {
        SCOPED_TRACE(t.what);
        CurlFtpClient ftp(kRoomy);
        ASSERT_TRUE(connect(ftp, t).ok);
        ASSERT_TRUE(ftp.goTo(t.remote).ok);
        for (const Row& row : rows) {
            SCOPED_TRACE(row.remote + " " + row.old.value_or("none"));
            const std::string there = t.folder + "/" + row.remote, bak = there + ".bak";
            fs::remove(bak);
            if (row.old)
                put(there, *row.old);
            if (row.bak)
                put(bak, *row.bak);
            std::uint64_t seen = 0;
            watch(ftp, seen, row.cancel);
            const FtpResult r = ftp.upload(local.write("page", row.bytes), row.remote, row.keep);
            ftp.setProgress({});
            EXPECT_EQ(r.number, row.number) << r.error;
            EXPECT_EQ(test::readAll(there), r.ok ? row.bytes : row.old.value_or(""));
            EXPECT_EQ(test::readAll(bak), row.bakAfter.value_or(""));
            EXPECT_EQ(seen, r.ok ? row.bytes.size() : seen) << "progress sees every byte sent";
        }
        for (const auto& e : fs::directory_iterator(t.folder))
            EXPECT_NE(e.path().filename().string()[0], '.') << "a temporary file stayed";

        // What stat tells follows the file on the server: a new size, the same size at another time.
        const std::string page = t.folder + "/index.html";
        RemoteStamp stamp;
        for (const std::string bytes : {"one", "twelve bytes", "twelve BYTES"}) {
            put(page, bytes);
            const std::int64_t when = 1700000000 + static_cast<std::int64_t>(bytes.back()) * 1000;
            const timespec times[2] = {{when, 0}, {when, 0}};
            ::utimensat(AT_FDCWD, page.c_str(), times, 0);
            ASSERT_TRUE(ftp.stat("index.html", stamp).ok);
            EXPECT_EQ(stamp, (RemoteStamp{true, bytes.size(), true, when}));
        }
        EXPECT_EQ(ftp.stat("missing.html", stamp).number, CURLE_REMOTE_FILE_NOT_FOUND);
        fs::create_directories(t.folder + "/sub"); // where a page was
        EXPECT_FALSE(ftp.upload(local.write("page", kPage), "sub", false).ok) << "a folder is never moved aside for a page";
        EXPECT_TRUE(fs::is_directory(t.folder + "/sub"));
        EXPECT_NE(ftp.download("sub", local.path("sub")).error.find("\"sub\" is now a folder on the server"), std::string::npos);

        // A new session goes back to the folder the old one was in.
        const std::string dir = ftp.currentDir();
        ASSERT_TRUE(ftp.disconnect().ok);
        ASSERT_TRUE(connect(ftp, t).ok);
        EXPECT_TRUE(ftp.goTo(dir).ok);
        EXPECT_EQ(ftp.currentDir(), dir);
        Names names = listing(ftp).names;
        std::sort(names.begin(), names.end()); // as sshd lists them: in no order
        EXPECT_EQ(names, (Names{"empty.html", "index.html", "new page.html", "sub/"}));

        // A connection killed mid-upload leaves the page whole.
        ftp.setProgress([&](std::uint64_t done, std::uint64_t) {
            if (done > 0)
                t.kill();
            return true;
        });
        EXPECT_FALSE(ftp.upload(local.write("page", big), "index.html", false).ok);
        EXPECT_EQ(test::readAll(page), "twelve BYTES");
    }
}


// The whole way back, on each server: a page edited here and changed there meanwhile is asked
// about, and Skip, the default, leaves the server's copy; unchanged there, the edit goes up.
TEST_F(Secured, APageChangedOnTheServerSinceItsDownloadIsNeverOverwrittenUnasked)
{
    for (const auto& t : targets()) {
        SCOPED_TRACE(t.what);
        Desk desk;
        auto& dialogs = desk.dialogs;
        int overwrite = -1; // the answer to the question, -1 the default
        dialogs.chooseAnswerer = [&] { return dialogs.shown.back().choices[0] == "Accept Once" ? 0 : overwrite; };
        test::TempDir local;
        desk.settings.folderPath = local.path("config/");
        CurlFtpClient ftp(kRoomy);
        RoundTrip trip(desk.platform(), ftp, desk.busy);
        // What an action of the trip answered: on this thread, before it returns.
        auto answer = [](auto start) {
            FtpResult got;
            start([&got](const FtpResult& result) { got = result; });
            return got;
        };
        const std::string there = t.folder + "/page.html";
        put(there, kPage);
        const timespec then[2] = {{1700000000, 0}, {1700000000, 0}};
        ::utimensat(AT_FDCWD, there.c_str(), then, 0);
        const HostProfile profile{t.user, t.user.empty() ? "" : kPassword, "", t.protocol, 0,
                                  t.protocol == Protocol::sftp ? sshd.dir.path("user") : "", false};
        ASSERT_TRUE(answer([&](auto then) { trip.connect(t.host, profile, then); }).ok);
        ASSERT_TRUE(ftp.goTo(t.remote).ok);
        ASSERT_TRUE(answer([&](auto then) { trip.fetchPage("page.html", local.path() + "/", then); }).ok);
        const std::string mine = trip.pagePath(local.path() + "/", "page.html");
        const std::string theirs(kPage.size(), 'x'); // same size as the page, another time
        struct Row {
            bool change;   // the server's copy changes before the upload
            int answer;    // to the question, if asked
            bool asked;
            std::string after, summary;
        } rows[] = {{true, -1, true, theirs, "Skipped: 1"},
                    {false, 0, true, kPage + "mine 1", "Uploaded: 1 page"},
                    {false, -1, false, kPage + "mine 2", "Uploaded: 1 page"}};
        for (const Row& row : rows) {
            put(mine, kPage + "mine " + std::to_string(&row - rows));
            if (row.change)
                put(there, theirs);
            overwrite = row.answer;
            dialogs.shown.clear();
            trip.uploadChanged();
            EXPECT_EQ(test::readAll(there), row.after);
            ASSERT_FALSE(dialogs.shown.empty());
            EXPECT_EQ(dialogs.shown.front().text.find("page.html changed on the server") == 0, row.asked);
            EXPECT_NE(dialogs.shown.back().text.find(row.summary), std::string::npos) << dialogs.shown.back().text;
        }

        // After a restart the page is taken back from the temp path, its password from the profile.
        Platform platform = desk.platform();
        HostProfiles profiles(platform);
        ASSERT_TRUE(test::saved(profiles, t.host, profile).result.ok);
        put(mine, kPage + "after a restart");
        ASSERT_TRUE(ftp.disconnect().ok);
        RoundTrip again(platform, ftp, desk.busy);
        again.recall(local.path() + "/");
        again.uploadChanged();
        EXPECT_EQ(test::readAll(there), kPage + "after a restart") << dialogs.shown.back().text;
    }
}

} // namespace
} // namespace bw
