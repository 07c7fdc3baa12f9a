// The site check on 2,000 pages of 50 KB, beside cat and a bare read of the same files
// (warm cache: the files were just written). Images sit in links and figures, as on real
// pages, so that the check reads each one's context.
#include "check/SiteCheck.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

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

} // namespace

BENCHMARK_MAIN();
