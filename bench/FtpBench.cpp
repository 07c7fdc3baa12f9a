// The FTP client on loopback against pyftpdlib: a big listing, and many pages one after
// another on one session, beside the curl command line fetching the same pages on one
// connection.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "ftp/FtpForm.h"
#include "ftp/Listing.h"
#include "platform/IniSettings.h"
#include "platform/curl/CurlFtp.h"
#include "support/Doubles.h"
#include "support/FtpServer.h"
#include "support/ScriptedFtp.h"

namespace {

using namespace bw;

constexpr int kListed = 10000;
constexpr int kPages = 200;
const std::string kUser = "bench", kPassword = "bench";

struct Site {
    test::TempDir root, logs;
    std::unique_ptr<test::LocalFtpServer> server;
    Site()
    {
        for (int i = 0; i < kListed; ++i)
            root.write("many/file " + std::to_string(i) + ".html", "x");
        std::string page(50 * 1024, 'p');
        for (int i = 0; i < kPages; ++i)
            root.write("pages/page" + std::to_string(i) + ".html", page);
        server = std::make_unique<test::LocalFtpServer>(root.path(), kUser, kPassword, logs.path("logins"));
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

RawListing listed(CurlFtpClient& ftp)
{
    RawListing raw;
    ftp.list([&](std::string_view text) { raw.append(text); });
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

void Download200PagesOneSession(benchmark::State& state)
{
    if (!ready(state))
        return;
    CurlFtpClient ftp;
    if (!ftp.connect(site().server->host(), kUser, kPassword).ok || !ftp.changeDir("pages").ok) {
        state.SkipWithError("cannot connect");
        return;
    }
    // New files each round, as the curl command line writes them (replacing a file waits
    // for the disk first).
    std::unique_ptr<test::TempDir> into;
    for (auto _ : state) {
        state.PauseTiming();
        into.reset();
        into = std::make_unique<test::TempDir>();
        state.ResumeTiming();
        for (int i = 0; i < kPages; ++i) {
            std::string name = "page" + std::to_string(i) + ".html";
            if (!ftp.download(name, into->path(name)).ok)
                state.SkipWithError("a download failed");
        }
    }
}
BENCHMARK(Download200PagesOneSession)->Unit(benchmark::kMillisecond);

// The yardstick: one curl command line, one connection, the same 200 pages; with EPSV
// (curl's default) and, argument 1, with PASV.
void CurlCommandLine200Pages(benchmark::State& state)
{
    if (!ready(state))
        return;
    test::TempDir into;
    std::string command = "curl -s -S --fail -u " + kUser + ":" + kPassword;
    if (state.range(0) == 1)
        command += " --disable-epsv";
    for (int i = 0; i < kPages; ++i) {
        std::string name = "page" + std::to_string(i) + ".html";
        command += " ftp://" + site().server->host() + "/pages/" + name + " -o '" + into.path(name) + "'";
    }
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("curl failed");
}
BENCHMARK(CurlCommandLine200Pages)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

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
    Form1 form{platform, Version{1, 0, 6}};
    test::ScriptedFtp server;
    std::string listing;
    for (int i = 0; i < 100000; ++i)
        listing += "-rw-r--r--   1 owner    group        1234 Mar 07 12:00 file " + std::to_string(i) + ".html\r\n";
    listing += "-rw-r--r--   1 owner    group        1234 Mar 07 12:00 " + std::string(5 << 20, 'n') + "\r\n";
    server.listings["/"] = {listing};
    server.remote["/file 5.html"] = "<html></html>";
    NoBusy busy;
    ftp window(platform, form, server, busy, dir.path("dl/"));
    window.Form_Load();
    window.Text1.setText("site");
    window.Command1_Click();
    if (window.List3.ListCount() != 100001)
        state.SkipWithError("the listing is short");
    window.List3.setListIndex(5);
    for (auto _ : state) {
        if (state.range(0) == 0)
            window.List3_Click();
        else
            window.Command5_Click();
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
