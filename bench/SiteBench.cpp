// The site's pictures indexed from 10,000 pages of 10 to 50 KB in 20 folders, each picture
// of a folder shown on many of its pages and one logo on all of them (warm cache: the files
// were just written).
#include "site/SiteIndex.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

#include "Pages.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPages = 10'000, kFolders = 20, kPictures = 300;

const fs::path& site()
{
    static const fs::path folder = [] {
        const fs::path root = fs::temp_directory_path() / ("bw-site-bench-" + std::to_string(::getpid()));
        for (int f = 0; f < kFolders; ++f) {
            fs::create_directories(root / std::to_string(f) / "images");
            for (int n = 0; n < kPictures + 40; ++n)
                std::ofstream(root / std::to_string(f) / "images" / ("picture" + std::to_string(n) + (n % 3 ? ".gif" : ".jpg"))) << "GIF89a";
        }
        for (int n = 0; n < kPages; ++n)
            std::ofstream(root / std::to_string(n % kFolders) / ("p" + std::to_string(n) + ".html"), std::ios::binary)
                << "<img src=\"../logo.gif\"" << (n % 3 ? ">" : " alt=\"Brindlework\">")
                << bw::bench::makePage(10'000 + static_cast<size_t>(n) * 7919 % 40'000, 10 + n % 31, 4, n * 13 % kPictures);
        std::atexit([] { fs::remove_all(fs::temp_directory_path() / ("bw-site-bench-" + std::to_string(::getpid()))); });
        return root;
    }();
    return folder;
}

double peakMegabytes()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void built(bw::SiteIndex& index)
{
    while (!index.progress().finished)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void IndexSite(benchmark::State& state)
{
    site();
    const double before = peakMegabytes();
    bw::RealFileSystem files;
    for (auto _ : state) {
        bw::SiteIndex index(files);
        index.start({}, {site().string()});
        built(index);
        state.counters["pages"] = static_cast<double>(index.progress().done);
    }
    state.counters["peak_MB_before"] = before;
    state.counters["peak_MB"] = peakMegabytes();
}
BENCHMARK(IndexSite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// What the window asks of each image it shows, for the picture on every page.
void OfferFor(benchmark::State& state)
{
    bw::RealFileSystem files;
    bw::SiteIndex index(files);
    index.start({}, {site().string()});
    built(index);
    const std::string picture = bw::normalPath((site() / "logo.gif").string());
    const std::string page = bw::normalPath((site() / "0" / "p0.html").string());
    for (auto _ : state)
        benchmark::DoNotOptimize(index.offerFor(picture, page));
    state.counters["uses"] = static_cast<double>(index.usesOf(picture).size());
}
BENCHMARK(OfferFor)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
