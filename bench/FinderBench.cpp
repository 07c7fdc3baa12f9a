// The image finder on a large modern page, against a bare memchr pass over its "<" and
// against libgumbo building the whole tree.
#include "page/ImageFinder.h"

#include <benchmark/benchmark.h>
#include <gumbo.h>

#include "Pages.h"

#include <cstring>
#include <random>
#include <string>

namespace {

using bw::bench::modernPage;

void findImagesOnPage(benchmark::State& state)
{
    const std::string& page = modernPage();
    for (auto _ : state) {
        bw::FoundImages found = bw::findImages(page);
        benchmark::DoNotOptimize(found.images.data());
        if (found.images.size() != 10'000)
            state.SkipWithError("wrong image count");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(findImagesOnPage)->Unit(benchmark::kMillisecond);

void memchrEveryLessThan(benchmark::State& state)
{
    const std::string& page = modernPage();
    for (auto _ : state) {
        size_t count = 0;
        const char* at = page.data();
        const char* end = at + page.size();
        while ((at = static_cast<const char*>(std::memchr(at, '<', static_cast<size_t>(end - at))))) {
            ++count;
            ++at;
        }
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(memchrEveryLessThan)->Unit(benchmark::kMillisecond);

void gumboParse(benchmark::State& state)
{
    const std::string& page = modernPage();
    for (auto _ : state) {
        GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
        benchmark::DoNotOptimize(output);
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(gumboParse)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
