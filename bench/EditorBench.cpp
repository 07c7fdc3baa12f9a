// Opening a large page and moving on from an image, on real files.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

#include "editor/EditorSession.h"
#include "Pages.h"
#include "support/Doubles.h"

namespace {

using namespace bw;
using bench::makePage;

// The real files, shared with the site index's threads or not: without, an open is timed alone.
struct Files final : FileSystem {
    RealFileSystem real;
    bool shared = true;
    std::optional<std::string> resolve(const std::string& path) override { return real.resolve(path); }
    bool exists(const std::string& path) override { return real.exists(path); }
    bool isFile(const std::string& path) override { return real.isFile(path); }
    bool sameFile(const std::string& a, const std::string& b) override { return real.sameFile(a, b); }
    FileStamp stamp(const std::string& path) override { return real.stamp(path); }
    ReadResult readFile(const std::string& path, std::string buffer) override { return real.readFile(path, std::move(buffer)); }
    WriteResult writeFile(const std::string& path, std::string_view bytes, std::string_view suffix) override { return real.writeFile(path, bytes, suffix); }
    void removeStaleCopies(const std::string& path) override { real.removeStaleCopies(path); }
    WriteResult makeFolders(const std::string& path) override { return real.makeFolders(path); }
    bool sharedAcrossThreads() const override { return shared; }
};

struct Program {
    test::ScriptedDialogs dialogs;
    Files files;
    test::RecordingShell shell;
    test::FakeHost host;
    test::MemorySettings settings;
    test::TempDir dir;
    EditorSession form{Platform{dialogs, files, shell, host, settings}, Version{1, 0, 0}};
    std::string path;

    Program(size_t bytes, int tags, bool indexing = true)
    {
        files.shared = indexing;
        dialogs.answerer = [] { return Answer::Yes; };
        path = dir.path("large.html");
        if (tags > 0)
            bench::writePage(path, bytes, tags, 4);
        dir.write("images/picture0.jpg", test::kGif);
        dir.write("images/picture1.gif", test::kGif);
        form.load();
    }

    // The site index of the last page opened has read the folder: it competes with no open.
    void indexed()
    {
        while (files.shared && form.pageOpen() && form.siteIndexing())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
};

// What the kernel tells of this process's memory, in kB ("VmHWM", "VmRSS").
long statusKb(const std::string& key)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key + ":", 0) == 0)
            return std::stol(line.substr(key.size() + 1));
    return -1;
}

void BM_OpenPage(benchmark::State& state)
{
    Program program(static_cast<size_t>(state.range(0)) << 20, static_cast<int>(state.range(1)));
    for (auto _ : state) {
        program.form.clearAll();
        program.form.openPath(program.path);
        if (program.form.imageCount() != state.range(1))
            state.SkipWithError("the page's tags were not all found");
    }
    state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
}
// The 100 MB page is for memory: run it alone under /usr/bin/time -v.
BENCHMARK(BM_OpenPage)->Args({1, 1000})->Args({10, 10000})->Args({100, 100000})->Unit(benchmark::kMillisecond);

// NEXT (or BACK at the last image): one atomic write of the page, one read, the next image shown.
void BM_NextImage(benchmark::State& state)
{
    Program program(static_cast<size_t>(state.range(0)) << 20, static_cast<int>(state.range(1)));
    program.form.openPath(program.path);
    int n = 0;
    for (auto _ : state) {
        program.form.typeAlt("Alt text " + std::to_string(n++));
        if (program.form.shownIndex() + 1 < program.form.imageCount())
            program.form.next();
        else
            program.form.back();
    }
    state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
}
BENCHMARK(BM_NextImage)->Args({1, 1000})->Args({10, 10000})->Unit(benchmark::kMillisecond);

// The core's open of the finder bench's page (10 MB, 10,000 modern image tags), and the finder
// alone on the same bytes, side by side. No site index runs beside the open: it reads the
// folder on threads of its own.
void BM_CoreOpenModernPage(benchmark::State& state)
{
    Program program(0, 0, false);
    program.dir.write("large.html", bench::modernPage());
    for (auto _ : state) {
        state.PauseTiming();
        program.form.clearAll();
        state.ResumeTiming();
        program.form.openPath(program.path);
        if (program.form.imageCount() != 10'000)
            state.SkipWithError("the page's tags were not all found");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bench::modernPage().size()));
}
BENCHMARK(BM_CoreOpenModernPage)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FinderModernPage(benchmark::State& state)
{
    for (auto _ : state) {
        FoundImages found = findImages(bench::modernPage());
        benchmark::DoNotOptimize(found.images.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bench::modernPage().size()));
}
BENCHMARK(BM_FinderModernPage)->Unit(benchmark::kMillisecond)->UseRealTime();

// One open of a page of range(0) MB with range(1) images, in a child process of its own so that
// its peak memory is its own: "open_MB" at the end of the open, "peak_MB" once the site index
// (when range(2)) has read the folder too, and "page_MB"; the time is the open's.
void BM_OpenPeakMemory(benchmark::State& state)
{
    const size_t bytes = static_cast<size_t>(state.range(0)) << 20;
    for (auto _ : state) {
        int pipe[2];
        if (::pipe(pipe) != 0)
            return state.SkipWithError("no pipe");
        const pid_t child = ::fork();
        if (child == 0) {
            double report[3] = {-1, -1, -1};
            {
                Program program(bytes, static_cast<int>(state.range(1)), state.range(2) != 0);
                std::ofstream("/proc/self/clear_refs") << "5"; // the peak so far is the page's writing
                const auto start = std::chrono::steady_clock::now();
                program.form.openPath(program.path);
                report[0] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                report[1] = static_cast<double>(statusKb("VmHWM"));
                program.indexed();
                report[2] = static_cast<double>(statusKb("VmHWM"));
            }
            [[maybe_unused]] const ssize_t written = ::write(pipe[1], report, sizeof report);
            ::_exit(0);
        }
        ::close(pipe[1]);
        double report[3] = {};
        const bool read = ::read(pipe[0], report, sizeof report) == sizeof report;
        ::close(pipe[0]);
        ::waitpid(child, nullptr, 0);
        if (!read || report[0] < 0)
            return state.SkipWithError("the child did not report");
        state.SetIterationTime(report[0]);
        state.counters["open_MB"] = report[1] / 1024;
        state.counters["peak_MB"] = report[2] / 1024;
        state.counters["page_MB"] = static_cast<double>(bytes >> 20);
    }
}
BENCHMARK(BM_OpenPeakMemory)->Args({10, 10000, 1})->Args({100, 100000, 0})->Args({100, 100000, 1})->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
