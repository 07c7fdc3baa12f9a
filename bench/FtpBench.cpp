// The FTP client on loopback against pyftpdlib: a big listing, and many pages one after
// another on one session, beside the curl command line fetching the same pages on one
// connection.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "ftp/Listing.h"
#include "platform/curl/CurlFtp.h"
#include "support/Doubles.h"
#include "support/FtpServer.h"

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
        RawListing raw;
        ftp.list([&](std::string_view text) { raw.append(text); });
        raw.finish();
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

} // namespace

BENCHMARK_MAIN();
