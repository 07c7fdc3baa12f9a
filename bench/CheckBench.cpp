// The site check on 2,000 pages of 50 KB, beside cat and a bare read of the same files
// (warm cache: the files were just written). Images sit in links and figures, as on real
// pages, so that the check reads each one's context. Then one page of 100 MB with 2 million
// images, checked in a process of its own for its peak memory.
#include "check/SiteCheck.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <fcntl.h>

namespace {

namespace fs = std::filesystem;

const fs::path& site()
{
    static const fs::path folder = [] {
        const fs::path root = fs::temp_directory_path() / ("bw-check-bench-" + std::to_string(::getpid()));
        std::string page;
        for (int i = 0; page.size() < 50'000; ++i) {
            const std::string image = "<img src=\"img/p" + std::to_string(i) + ".png\" alt=\"" + (i % 3 ? "" : "Image of a boat") + "\" width=40>";
            page += "<p>Text of paragraph " + std::to_string(i) + ", long enough to be a paragraph.</p>\n" +
                    (i % 4 == 0 ? "<a href=\"boat" + std::to_string(i) + ".html\">" + image + " The boat</a>\n"
                     : i % 4 == 1 ? "<figure>" + image + "<figcaption>A boat on the water</figcaption></figure>\n"
                                  : image + "\n");
        }
        page.resize(50'000);
        for (int n = 0; n < 2000; ++n) {
            fs::create_directories(root / std::to_string(n % 20));
            std::ofstream(root / std::to_string(n % 20) / ("p" + std::to_string(n) + ".html"), std::ios::binary) << page;
        }
        std::atexit([] { fs::remove_all(fs::temp_directory_path() / ("bw-check-bench-" + std::to_string(::getpid()))); });
        return root;
    }();
    return folder;
}

// cat itself, as the goal is put: the pages through a pipe into /dev/null.
void Cat(benchmark::State& state)
{
    const std::string command = "cat '" + site().string() + "'/*/*.html > /dev/null";
    for (auto _ : state)
        benchmark::DoNotOptimize(std::system(command.c_str()));
}
BENCHMARK(Cat)->Unit(benchmark::kMillisecond)->UseRealTime();

// The bytes alone, read in this process: the floor under any check.
void Read(benchmark::State& state)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(site()))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    static char buffer[1 << 17];
    for (auto _ : state) {
        size_t bytes = 0;
        for (const fs::path& file : files) {
            const int fd = ::open(file.c_str(), O_RDONLY);
            for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
                bytes += static_cast<size_t>(n);
            ::close(fd);
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(Read)->Unit(benchmark::kMillisecond);

void CheckSite(benchmark::State& state)
{
    for (auto _ : state) {
        size_t findings = 0;
        const bw::CheckReport report = bw::checkSite({site().string()}, [&](const bw::PageCheck& page) { findings += page.findings.size(); });
        benchmark::DoNotOptimize(findings);
        state.counters["pages"] = static_cast<double>(report.pages);
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["maxRssMB"] = static_cast<double>(usage.ru_maxrss) / 1024;
}
BENCHMARK(CheckSite)->Unit(benchmark::kMillisecond)->UseRealTime();

// A page of about 100 MB with 2 million images, one a line: most decorative, a fifth without an
// ALT, every eighth in a link whose text its ALT repeats. It is written a line at a time.
const std::string& hugePage()
{
    static const std::string path = [] {
        const std::string file = (fs::temp_directory_path() / ("bw-check-huge-" + std::to_string(::getpid()) + ".html")).string();
        std::atexit([] { fs::remove(fs::temp_directory_path() / ("bw-check-huge-" + std::to_string(::getpid()) + ".html")); });
        std::ofstream out(file, std::ios::binary);
        out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Huge</title></head><body>\n";
        std::string line;
        for (int i = 0; i < 2'000'000; ++i) {
            const std::string n = std::to_string(i);
            line = i % 8 == 0   ? "<a href=\"p" + n + ".html\"><img src=\"p" + n + ".png\" alt=\"Photo " + n + "\"> Photo " + n + "</a>"
                   : i % 5 == 1 ? "<img src=\"p" + n + ".png\">"
                                : "<img src=\"p" + n + ".png\" alt=\"\">";
            line.resize(std::max<size_t>(line.size(), 49), ' ');
            out << line << '\n';
        }
        out << "</body></html>\n";
        return file;
    }();
    return path;
}

// The huge page checked in a child process of its own, whose peak memory is its own.
void CheckHugePage(benchmark::State& state)
{
    const std::string& page = hugePage();
    for (auto _ : state) {
        const pid_t child = ::fork();
        if (child == 0) {
            size_t findings = 0;
            const bw::CheckReport report = bw::checkSite({page}, [&](const bw::PageCheck& part) { findings += part.findings.size(); });
            ::_exit(report.images == 2'000'000 && findings > 0 ? 0 : 1);
        }
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        state.counters["maxRssMB"] = static_cast<double>(usage.ru_maxrss) / 1024;
        state.counters["pageMB"] = static_cast<double>(fs::file_size(page)) / 1e6;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("the child did not check the page");
    }
}
BENCHMARK(CheckHugePage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

BENCHMARK_MAIN();
