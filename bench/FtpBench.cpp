// The FTP client on loopback against pyftpdlib: a big listing, and 200 pages down and up
// on one session, beside Python's ftplib, wget, lftp and the curl command line moving the
// same pages on the same server.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <pwd.h>
#include <thread>
#include <type_traits>
#include <utility>
#include <unistd.h>

#include <curl/curl.h>

#include "ftp/FtpBrowser.h"
#include "platform/Listing.h"
#include "ftp/Upload.h"
#include "platform/IniSettings.h"
#include "platform/curl/CurlFtp.h"
#include "platform/curl/CurlLoop.h"
#include "support/Doubles.h"
#include "support/FtpServer.h"
#include "support/ScriptedFtp.h"
#include "support/SecureServers.h"

namespace {

using namespace bw;

constexpr int kListed = 10000;
constexpr int kPages = 200;
constexpr std::size_t kPageSize = 50 * 1024;
const std::string kUser = "bench", kPassword = "bench";

// The same folder served with each answer held back (bench/ftp_latency_server.py), gone
// with the object.
struct LatencyServer {
    LatencyServer(const std::string& root, int delayMs)
    {
        up = daemon.start({BW_PYTHON, BW_LATENCY_SERVER_SCRIPT, root, kUser, kPassword, std::to_string(delayMs), std::to_string(port)},
                          [this] { return test::listening(port); });
    }
    bool running() const { return up; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port); }
    int port = test::freePort();
    test::Daemon daemon;
    bool up = false;
};

// Rows with the argument ms run against the server that holds each answer that long.
constexpr int kLatencyMs = 2;

struct Site {
    test::TempDir root, logs;
    std::unique_ptr<test::LocalFtpServer> server;
    std::unique_ptr<LatencyServer> slow;
    Site()
    {
        for (int i = 0; i < kListed; ++i)
            root.write("many/file " + std::to_string(i) + ".html", "x");
        std::string page(kPageSize, 'p');
        for (int i = 0; i < kPages; ++i)
            root.write("pages/page" + std::to_string(i) + ".html", page);
        server = std::make_unique<test::LocalFtpServer>(root.path(), kUser, kPassword, logs.path("logins"), "", "elradfmw");
        slow = std::make_unique<LatencyServer>(root.path(), kLatencyMs);
    }
};

Site& site()
{
    static Site s;
    return s;
}

bool ready(benchmark::State& state)
{
    if (site().server->running())
        return true;
    state.SkipWithError(("no local FTP server: " + site().server->failure).c_str());
    return false;
}

// The server of a row whose argument "ms" tells the answers' delay; "" when it is not running.
std::string hostFor(benchmark::State& state, int arg = 0)
{
    if (state.range(arg) == 0)
        return ready(state) ? site().server->host() : "";
    if (!site().slow->running())
        state.SkipWithError(std::string("no latency server: " BW_LATENCY_SERVER_SCRIPT " did not start").c_str());
    return site().slow->running() ? site().slow->host() : "";
}

RawListing listed(CurlFtpClient& ftp)
{
    RawListing raw;
    if (!ftp.list([&](std::string_view text) { raw.append(text); }).ok)
        throw std::runtime_error("the listing failed");
    raw.finish();
    return raw;
}

void ListTenThousandFiles(benchmark::State& state)
{
    if (!ready(state))
        return;
    CurlFtpClient ftp;
    if (!ftp.connect(site().server->host(), kUser, kPassword).ok || !ftp.changeDir("many").ok) {
        state.SkipWithError("cannot connect");
        return;
    }
    for (auto _ : state) {
        const RawListing raw = listed(ftp);
        size_t names = 0;
        for (const auto& line : raw.lines())
            names += !listingName(line).empty();
        if (names != kListed)
            state.SkipWithError("the listing is short");
    }
}
BENCHMARK(ListTenThousandFiles)->Unit(benchmark::kMillisecond);

// Each row of 200 pages is one session, login included, timed on the same clock: ours, the
// bare libcurl loop, and beside them on the same server Python's ftplib, wget -r, lftp and
// the curl command line (one connection each). A tool that is not installed skips its row.
std::string pageName(int i) { return "page" + std::to_string(i) + ".html"; }

// Every page's name, each after a space: the tools' command lines.
std::string pageNames()
{
    std::string names;
    for (int i = 0; i < kPages; ++i)
        names += " " + pageName(i);
    return names;
}

// Our side of a round, once the session is open: every page down into `into`, or up from
// `from`; the first error, or "".
std::string downloadPages(CurlFtpClient& ftp, const test::TempDir& into)
{
    for (int i = 0; i < kPages; ++i)
        if (FtpResult r = ftp.download(pageName(i), into.path(pageName(i))); !r.ok)
            return r.error;
    return "";
}

std::string uploadPages(CurlFtpClient& ftp, const std::string& from)
{
    for (int i = 0; i < kPages; ++i)
        if (FtpResult r = ftp.upload(from + "/" + pageName(i), pageName(i), false); !r.ok)
            return "upload: " + r.error;
    return "";
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

std::string portOf(const std::string& host) { return host.substr(host.rfind(':') + 1); }

bool installed(benchmark::State& state, const std::string& tool)
{
    if (std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0)
        return true;
    state.SkipWithError((tool + " is not installed").c_str());
    return false;
}

// Each round runs on the clock after its preparation off it; a failed round ends the row
// with its message.
template <class Prepare, class Round>
void rounds(benchmark::State& state, Prepare prepare, Round round)
{
    for (auto _ : state) {
        state.PauseTiming();
        prepare();
        state.ResumeTiming();
        if (const std::string failed = round(); !failed.empty()) {
            state.SkipWithError(failed.c_str());
            break;
        }
    }
}

std::string run(const std::string& command)
{
    return std::system(command.c_str()) == 0 ? "" : "failed: " + command.substr(0, 80);
}

// Per round: the loop's waits, those that ended by the timer, and those with no socket
// named by libcurl (before the data connection is up).
struct LoopWaits {
    benchmark::State& state;
    LoopCounts start = loopCounts();
    ~LoopWaits()
    {
        const LoopCounts end = loopCounts();
        auto per = [&](std::uint64_t a, std::uint64_t b) {
            return benchmark::Counter(static_cast<double>(a - b), benchmark::Counter::kAvgIterations);
        };
        state.counters["waits"] = per(end.waits, start.waits);
        state.counters["timedOut"] = per(end.timedOut, start.timedOut);
        state.counters["blind"] = per(end.blind, start.blind);
    }
};

// An empty folder on the server for a round of uploads.
std::string emptied(const std::string& folder)
{
    const std::string path = site().root.path("drop/" + folder);
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

// After the last round: all pages arrived whole.
void countPages(benchmark::State& state, const std::string& folder)
{
    std::size_t n = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        n += entry.is_regular_file() && entry.file_size() == kPageSize;
    if (state.error_occurred() || n == static_cast<std::size_t>(kPages))
        return;
    state.SkipWithError(("pages missing in " + folder).c_str());
}

// Every row makes 200 data connections a round, each then held a minute in TIME_WAIT:
// a few rounds each keep the loopback's ports from running out.
constexpr int kRounds = 5;

// A session on host in the folder the names lead to; "" or why not.
std::string session(CurlFtpClient& ftp, const std::string& host, std::initializer_list<const char*> folders,
                    const std::string& user = kUser, const std::string& password = kPassword)
{
    if (FtpResult r = ftp.connect(host, user, password); !r.ok)
        return r.error;
    for (const char* folder : folders)
        if (FtpResult r = ftp.changeDir(folder); !r.ok)
            return r.error;
    return "";
}

void Download200PagesOneSession(benchmark::State& state)
{
    const std::string host = hostFor(state);
    if (host.empty())
        return;
    LoopWaits counted{state};
    // New files each round, as the tools write them (replacing a file waits for the disk first).
    std::unique_ptr<test::TempDir> into;
    rounds(state, [&] { into = std::make_unique<test::TempDir>(); },
           [&]() -> std::string {
               CurlFtpClient ftp;
               if (std::string why = session(ftp, host, {"pages"}); !why.empty())
                   return why;
               return downloadPages(ftp, *into);
           });
    countPages(state, into->path());
}
BENCHMARK(Download200PagesOneSession)
    ->ArgName("ms")
    ->Arg(0)
    ->Arg(kLatencyMs)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kRounds)
    ->UseRealTime();

void Upload200PagesOneSession(benchmark::State& state)
{
    const std::string host = hostFor(state);
    if (host.empty())
        return;
    LoopWaits counted{state};
    std::string folder;
    rounds(state, [&] { folder = emptied("ours"); },
           [&]() -> std::string {
               CurlFtpClient ftp;
               if (std::string why = session(ftp, host, {"drop", "ours"}); !why.empty())
                   return why;
               return uploadPages(ftp, site().root.path("pages"));
           });
    countPages(state, folder);
}
BENCHMARK(Upload200PagesOneSession)
    ->ArgName("ms")
    ->Arg(0)
    ->Arg(kLatencyMs)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kRounds)
    ->UseRealTime();

// The same 200 pages on a server of the bench's own: vsftpd speaking TLS (anonymous), beside
// Python's ftplib with FTP_TLS (which resumes the control connection's TLS session on each
// data connection), and OpenSSH's sshd (root, with a key), beside OpenSSH's sftp -b.
template <class Server> struct SecureSite {
    SecureSite()
    {
        std::filesystem::create_directories(server.site + "/pages");
        const std::string page(kPageSize, 'p');
        for (int i = 0; i < kPages; ++i)
            std::ofstream(server.site + "/pages/" + pageName(i), std::ios::binary) << page;
        std::filesystem::create_directories(server.site + "/drop");
        up = server.start();
        fingerprint = server.fingerprint();
    }
    // An empty folder the server's user may write in.
    std::string emptied(const std::string& name)
    {
        const std::string path = server.site + "/drop/" + name;
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
        if (const passwd* ftp = ::getpwnam("ftp"))
            [[maybe_unused]] const int owned = ::chown(path.c_str(), ftp->pw_uid, ftp->pw_gid);
        return path;
    }
    static constexpr bool ssh = std::is_same_v<Server, test::Sshd>;
    // A session in the site's folder, "" or why not: vsftpd shows the site as "/pub", sshd by its path.
    std::string session(CurlFtpClient& ftp, const std::string& folder)
    {
        ftp.setOptions({ssh ? Protocol::sftp : Protocol::ftps, 0, ssh ? server.dir.path("user") : "", "", fingerprint, false});
        if (FtpResult r = ftp.connect(server.host(), ssh ? "root" : "", ""); !r.ok)
            return r.error;
        const FtpResult there = ftp.goTo((ssh ? server.site : std::string("/pub")) + "/" + folder);
        return there.ok ? "" : there.error;
    }
    Server server;
    bool up = false;
    std::string fingerprint;
};

template <class Server> SecureSite<Server>* secureSite(benchmark::State& state)
{
    static SecureSite<Server> s;
    if (!s.up)
        state.SkipWithError("the server did not start");
    return s.up ? &s : nullptr;
}

template <class Server> void Download200PagesSecure(benchmark::State& state)
{
    SecureSite<Server>* secure = secureSite<Server>(state);
    if (!secure)
        return;
    std::unique_ptr<test::TempDir> into;
    rounds(state, [&] { into = std::make_unique<test::TempDir>(); },
           [&]() -> std::string {
               CurlFtpClient ftp;
               if (std::string why = secure->session(ftp, "pages"); !why.empty())
                   return why;
               return downloadPages(ftp, *into);
           });
    countPages(state, into->path());
}

template <class Server> void Upload200PagesSecure(benchmark::State& state)
{
    SecureSite<Server>* secure = secureSite<Server>(state);
    if (!secure)
        return;
    std::string folder;
    rounds(state, [&] { folder = secure->emptied("ours"); },
           [&]() -> std::string {
               CurlFtpClient ftp;
               if (std::string why = secure->session(ftp, "drop/ours"); !why.empty())
                   return why;
               return uploadPages(ftp, secure->server.site + "/pages");
           });
    countPages(state, folder);
}

void FtplibFtps(benchmark::State& state, bool put)
{
    SecureSite<test::Vsftpd>* tls = secureSite<test::Vsftpd>(state);
    if (!tls)
        return;
    const std::string names = pageNames();
    std::unique_ptr<test::TempDir> into;
    std::string folder;
    rounds(state,
           [&] {
               into = std::make_unique<test::TempDir>();
               folder = put ? tls->emptied("ftplib") : into->path();
           },
           [&] {
               return run(std::string(BW_PYTHON) + " " + BW_FTPLIB_SCRIPT + (put ? " put-tls" : " get-tls") + " 127.0.0.1 " +
                          std::to_string(tls->server.port) + " anonymous x" +
                          (put ? " pub/drop/ftplib " + quoted(tls->server.site + "/pages") : " pub/pages " + quoted(into->path())) +
                          names);
           });
    countPages(state, folder);
}

// OpenSSH's sftp with a batch of one get or put a page, on one session; no user settings read.
void SftpCommandLine(benchmark::State& state, bool put)
{
    SecureSite<test::Sshd>* ssh = secureSite<test::Sshd>(state);
    if (!ssh || !installed(state, "sftp"))
        return;
    std::unique_ptr<test::TempDir> into;
    std::string folder, batch;
    rounds(state,
           [&] {
               into = std::make_unique<test::TempDir>();
               folder = put ? ssh->emptied("sftp") : into->path();
               std::string commands = "cd \"" + (put ? folder : ssh->server.site + "/pages") + "\"\nlcd \"" +
                                      (put ? ssh->server.site + "/pages" : into->path()) + "\"\n";
               for (int i = 0; i < kPages; ++i)
                   commands += (put ? "put " : "get ") + pageName(i) + "\n";
               batch = into->write("batch", commands);
           },
           [&] {
               return run("sftp -q -F /dev/null -b " + quoted(std::as_const(batch)) + " -i " + quoted(ssh->server.dir.path("user")) + " -P " +
                          std::to_string(ssh->server.port) +
                          " -o BatchMode=yes -o IdentitiesOnly=yes -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null "
                          "root@127.0.0.1 >/dev/null");
           });
    countPages(state, folder);
}

const bool kSecureRows = [] {
    for (auto* b : {benchmark::RegisterBenchmark("Download200PagesOneSession/FTPS", Download200PagesSecure<test::Vsftpd>),
                    benchmark::RegisterBenchmark("Upload200PagesOneSession/FTPS", Upload200PagesSecure<test::Vsftpd>),
                    benchmark::RegisterBenchmark("Ftplib200Pages/FTPS/Download", FtplibFtps, false),
                    benchmark::RegisterBenchmark("Ftplib200Pages/FTPS/Upload", FtplibFtps, true),
                    benchmark::RegisterBenchmark("Download200PagesOneSession/SFTP", Download200PagesSecure<test::Sshd>),
                    benchmark::RegisterBenchmark("Upload200PagesOneSession/SFTP", Upload200PagesSecure<test::Sshd>),
                    benchmark::RegisterBenchmark("SftpCommandLine200Pages/Download", SftpCommandLine, false),
                    benchmark::RegisterBenchmark("SftpCommandLine200Pages/Upload", SftpCommandLine, true)})
        b->Unit(benchmark::kMillisecond)->Iterations(kRounds)->UseRealTime();
    return true;
}();

size_t readFile(char* buffer, size_t size, size_t count, void* file)
{
    return std::fread(buffer, size, count, static_cast<std::FILE*>(file));
}

size_t writeFile(char* data, size_t size, size_t count, void* file)
{
    return std::fwrite(data, size, count, static_cast<std::FILE*>(file));
}

// Holds the client up a little after each command it sends, as a busy machine does: the
// server's answer is then there at libcurl's first look, which is what leads libcurl 7.88
// into the stretch where it names no socket (the data port read, its connection not yet
// begun).
int holdUpAfterCommands(CURL*, curl_infotype type, char*, size_t, void*)
{
    if (type == CURLINFO_HEADER_OUT)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return 0;
}

// The transfer loop alone, on one connection: a plain RETR or STOR (argument up) of each
// page; with held, by a client held up after each command.
void RawLoop200Pages(benchmark::State& state)
{
    const std::string host = hostFor(state, 2);
    if (host.empty())
        return;
    const bool put = state.range(0) == 1, held = state.range(1) == 1;
    LoopWaits counted{state};
    std::unique_ptr<test::TempDir> into;
    std::string folder;
    rounds(state,
           [&] {
               into = std::make_unique<test::TempDir>();
               folder = put ? emptied("raw") : into->path();
           },
           [&]() -> std::string {
               CURLM* multi = curl_multi_init();
               CURL* easy = curl_easy_init();
               curl_easy_setopt(easy, CURLOPT_USERNAME, kUser.c_str());
               curl_easy_setopt(easy, CURLOPT_PASSWORD, kPassword.c_str());
               curl_easy_setopt(easy, CURLOPT_UPLOAD, put ? 1L : 0L);
               curl_easy_setopt(easy, CURLOPT_READFUNCTION, &readFile);
               curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &writeFile);
               if (held) {
                   curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, &holdUpAfterCommands);
                   curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);
               }
               CURLcode rc = CURLE_OK;
               for (int i = 0; i < kPages && rc == CURLE_OK; ++i) {
                   const std::string local = put ? site().root.path("pages/" + pageName(i)) : into->path(pageName(i));
                   std::FILE* file = std::fopen(local.c_str(), put ? "rb" : "wb");
                   const std::string url = "ftp://" + host + (put ? "/drop/raw/" : "/pages/") + pageName(i);
                   curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
                   curl_easy_setopt(easy, put ? CURLOPT_READDATA : CURLOPT_WRITEDATA, static_cast<void*>(file));
                   curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(put ? kPageSize : -1));
                   rc = file ? runTransfer(multi, easy) : CURLE_READ_ERROR;
                   if (file)
                       std::fclose(file);
               }
               curl_easy_cleanup(easy);
               curl_multi_cleanup(multi);
               return rc == CURLE_OK ? "" : curl_easy_strerror(rc);
           });
    countPages(state, folder);
}
BENCHMARK(RawLoop200Pages)
    ->ArgNames({"up", "held", "ms"})
    ->Args({0, 0, 0})
    ->Args({1, 0, 0})
    ->Args({0, 1, 0})
    ->Args({1, 1, 0})
    ->Args({0, 0, kLatencyMs})
    ->Args({1, 0, kLatencyMs})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kRounds)
    ->UseRealTime();

// Python's ftplib, retrbinary and storbinary; argument 1 uploads.
void Ftplib200Pages(benchmark::State& state)
{
    const std::string host = hostFor(state, 1);
    if (host.empty())
        return;
    const bool put = state.range(0) == 1;
    const std::string names = pageNames();
    std::unique_ptr<test::TempDir> into;
    std::string folder;
    rounds(state,
           [&] {
               into = std::make_unique<test::TempDir>();
               folder = put ? emptied("ftplib") : into->path();
           },
           [&] {
               return run(std::string(BW_PYTHON) + " " + BW_FTPLIB_SCRIPT + (put ? " put" : " get") + " 127.0.0.1 " +
                          portOf(host) + " " + kUser + " " + kPassword +
                          (put ? " drop/ftplib " + quoted(site().root.path("pages")) : " pages " + quoted(into->path())) + names);
           });
    countPages(state, folder);
}
BENCHMARK(Ftplib200Pages)
    ->ArgNames({"up", "ms"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, kLatencyMs})
    ->Args({1, kLatencyMs})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kRounds)
    ->UseRealTime();

void WgetRecursive200Pages(benchmark::State& state)
{
    if (!ready(state) || !installed(state, "wget"))
        return;
    std::unique_ptr<test::TempDir> into;
    rounds(state, [&] { into = std::make_unique<test::TempDir>(); },
           [&] {
               return run("wget -q -r -nH --cut-dirs=1 -P " + quoted(into->path()) + " ftp://" + kUser + ":" + kPassword +
                          "@" + site().server->host() + "/pages/");
           });
    countPages(state, into->path());
}
BENCHMARK(WgetRecursive200Pages)->Unit(benchmark::kMillisecond)->Iterations(kRounds)->UseRealTime();

// lftp's mirror (argument 1: mirror -R, the upload), without its attempt at TLS.
void LftpMirror200Pages(benchmark::State& state)
{
    if (!ready(state) || !installed(state, "lftp"))
        return;
    const bool put = state.range(0) == 1;
    std::unique_ptr<test::TempDir> into;
    std::string folder;
    rounds(state,
           [&] {
               into = std::make_unique<test::TempDir>();
               folder = put ? emptied("lftp") : into->path("pages");
           },
           [&] {
               const std::string mirror =
                   put ? "mirror -R " + site().root.path("pages") + " drop/lftp" : "mirror pages " + into->path("pages");
               return run("lftp -u " + kUser + "," + kPassword + " -p " + portOf(site().server->host()) + " -e " +
                          quoted("set ftp:ssl-allow no; set cmd:fail-exit yes; " + mirror + "; quit") + " 127.0.0.1 >/dev/null");
           });
    countPages(state, folder);
}
BENCHMARK(LftpMirror200Pages)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(kRounds)->UseRealTime();

// The curl command line, one connection, the same 200 pages; with EPSV (curl's default)
// and, argument 1, with PASV. A round can take a minute or more.
void CurlCommandLine200Pages(benchmark::State& state)
{
    if (!ready(state) || !installed(state, "curl"))
        return;
    test::TempDir into;
    std::string command = "curl -s -S --fail -u " + kUser + ":" + kPassword;
    if (state.range(0) == 1)
        command += " --disable-epsv";
    for (int i = 0; i < kPages; ++i)
        command += " ftp://" + site().server->host() + "/pages/" + pageName(i) + " -o " + quoted(into.path(pageName(i)));
    rounds(state, [] {}, [&] { return run(command); });
    countPages(state, into.path());
}
BENCHMARK(CurlCommandLine200Pages)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// curl -T "{a,b,...}": the upload on one connection.
void CurlUpload200Pages(benchmark::State& state)
{
    if (!ready(state) || !installed(state, "curl"))
        return;
    std::string list;
    for (int i = 0; i < kPages; ++i)
        list += (i ? "," : "") + site().root.path("pages/" + pageName(i));
    std::string folder;
    rounds(state, [&] { folder = emptied("curl"); },
           [&] {
               return run("curl -s -S --fail -u " + kUser + ":" + kPassword + " -T " + quoted("{" + list + "}") +
                          " ftp://" + site().server->host() + "/drop/curl/");
           });
    countPages(state, folder);
}
BENCHMARK(CurlUpload200Pages)->Unit(benchmark::kMillisecond)->Iterations(kRounds)->UseRealTime();

// A listing line that never ends, of 20 and 40 MB: each piece must cost only its own length.
void ListingLineWithoutEnd(benchmark::State& state)
{
    test::TempDir dir;
    test::LocalFtpServer server(dir.path(), "u", "p", dir.path("log"),
                                dir.write("listing", std::string(static_cast<size_t>(state.range(0)) << 20, 'z')));
    CurlFtpClient ftp;
    if (!server.running() || !ftp.connect(server.host(), "u", "p").ok) {
        state.SkipWithError("cannot connect");
        return;
    }
    for (auto _ : state) {
        if (listed(ftp).cut() != 1)
            state.SkipWithError("the line was not cut");
    }
}
BENCHMARK(ListingLineWithoutEnd)->Arg(20)->Arg(40)->Unit(benchmark::kMillisecond);

struct NoBusy : Busy {
    void begin(const std::string&) override {}
    bool progress(std::uint64_t, std::uint64_t) override { return true; }
    void end() override {}
};

// The FTP window's handlers over a folder of 100,000 files (one of them named with 5 MB):
// a click on a file (downloaded again), and on Parent Dir, which lists the folder anew.
void ClickInAHundredThousandLineFolder(benchmark::State& state)
{
    test::ScriptedDialogs dialogs;
    dialogs.answerer = [] { return Answer::Yes; };
    RealFileSystem files;
    test::RecordingShell shell;
    test::FakeHost host;
    test::MemorySettings settings;
    test::TempDir dir;
    Platform platform{dialogs, files, shell, host, settings};
    EditorSession form{platform, Version{1, 0, 6}};
    BatchSession batch{platform, form};
    test::ScriptedFtp server;
    std::string listing;
    for (int i = 0; i < 100000; ++i)
        listing += "-rw-r--r--   1 owner    group        1234 Mar 07 12:00 file " + std::to_string(i) + ".html\r\n";
    listing += "-rw-r--r--   1 owner    group        1234 Mar 07 12:00 " + std::string(5 << 20, 'n') + "\r\n";
    server.listings["/"] = {listing};
    server.remote["/file 5.html"] = "<html></html>";
    NoBusy busy;
    RoundTrip trip{platform, server, busy};
    FtpBrowser window(platform, batch, trip, dir.path("dl/"));
    window.load();
    window.hostName.setText("site");
    window.connectToHost();
    if (window.files.ListCount() != 100001)
        state.SkipWithError("the listing is short");
    window.files.setListIndex(5);
    for (auto _ : state) {
        if (state.range(0) == 0)
            window.downloadFile();
        else
            window.parentFolder();
    }
}
BENCHMARK(ClickInAHundredThousandLineFolder)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One read of a settings store of 20,000 and 50,000 keys.
void ReadSettingsStore(benchmark::State& state)
{
    test::TempDir dir;
    std::string text = "[brindlepad\\hosts]\n";
    for (long i = 0; i < state.range(0); ++i)
        text += "host" + std::to_string(i) + "HostName=host" + std::to_string(i) + "\n";
    dir.write("bw.ini", text);
    IniSettingsStore store(dir.path());
    for (auto _ : state)
        benchmark::DoNotOptimize(store.getSetting("bw", "brindlepad\\hosts", "host7HostName"));
}
BENCHMARK(ReadSettingsStore)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
