// Image tag scanner: the production scanner against the step-by-step reference, on generated pages
// with about one distinct image tag per kilobyte.
#include "editor/LiteralScanner.h"
#include "editor/Scanner.h"

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace bw::detail {
// Defined in Scanner.cpp.
std::optional<ScanResult> indexedScan(std::string_view page, ScanVariant variant, std::size_t workLimit);
std::size_t defaultWorkLimit(std::size_t pageSize);
} // namespace bw::detail

namespace {

using bw::ScanVariant;

std::string pad(int n)
{
    std::string s = std::to_string(n);
    return std::string(s.size() < 5 ? 5 - s.size() : 0, '0') + s;
}

std::string paragraph(std::mt19937& rng)
{
    static const std::vector<std::string> words = {
        "the", "Garden", "in", "spring", "photos", "of", "our", "trip", "to", "the", "coast", "and", "more",
        "caf\xC3\xA9", "NEW", "a", "view", "from", "the", "hill", "Summer", "house", "with", "friends",
        "click", "on", "any", "picture", "to", "see", "it", "larger", "\xC3\xA5ker", "s\xC3\xB6" "dra"};
    std::string p;
    for (int w = 30 + int(rng() % 90); w > 0; --w) {
        const std::string& word = words[rng() % words.size()];
        switch (rng() % 40) {
        case 0: p += "<B>" + word + "</B> "; break;
        case 1: p += "<a href=\"page" + std::to_string(rng() % 50) + ".html\">" + word + "</a> "; break;
        case 2: p += "<i>" + word + "</i>, "; break;
        default: p += word + " ";
        }
    }
    return p;
}

// The n-th distinct image tag, written the ways pages write them.
std::string imageTag(int n, std::mt19937& rng)
{
    const std::string size = " width=\"" + std::to_string(16 + rng() % 600) + "\" height=\"" +
                             std::to_string(16 + rng() % 400) + "\"";
    switch (rng() % 10) {
    case 0: return "<img SRC=\"images/icon" + pad(n) + ".gif\" WIDTH=16 HEIGHT=16 ALT=\"icon\">";
    case 1: return "<IMG SRC=\"images/BANNER" + pad(n) + ".GIF\"" + size + ">";
    case 2: return "<img SRC=\"Images/Photo" + pad(n) + ".jpg\"" + size + " ALT=\"\" border=0>";
    case 3: return "<img SRC=\"../gallery/pic_" + pad(n) + ".gif\">";
    default: return "<img SRC=\"images/photo" + pad(n) + ".jpg\"" + size + ">";
    }
}

// About `bytes` of HTML holding `tags` distinct image tags; a few pictures are shown twice.
std::string makePage(std::size_t bytes, int tags, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string page = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
                       "<HTML>\n<HEAD>\n<TITLE>Our Pictures</TITLE>\n"
                       "<META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n</HEAD>\n"
                       "<BODY BGCOLOR=\"#FFFFFF\" TEXT=\"#000000\">\n<!-- made by hand -->\n";
    page.reserve(bytes + 4096);
    std::vector<std::string> shown;
    for (int n = 0; n < tags; ++n) {
        const std::size_t until = bytes * (n + 1) / (tags + 1);
        while (page.size() < until) {
            switch (rng() % 8) {
            case 0: page += "<H2>Part " + std::to_string(n) + "</H2>\n"; break;
            case 1: page += "<!-- section " + std::to_string(n) + " -->\n"; break;
            case 2: page += "<table border=0><tr><td>" + paragraph(rng) + "</td></tr></table>\n"; break;
            default: page += "<P>" + paragraph(rng) + "</P>\n";
            }
        }
        shown.push_back(imageTag(n, rng));
        page += "<P align=center>" + shown.back() + "</P>\n";
        if (rng() % 20 == 0)
            page += "<p>" + shown[rng() % shown.size()] + "</p>\n";
    }
    while (page.size() < bytes)
        page += "<P>" + paragraph(rng) + "</P>\n";
    return page + "</BODY>\n</HTML>\n";
}

const std::string& pageOf(std::size_t kilobytes)
{
    static std::map<std::size_t, std::string> pages;
    auto it = pages.find(kilobytes);
    if (it == pages.end())
        it = pages.emplace(kilobytes, makePage(kilobytes * 1024, int(kilobytes * 1000 / 1024), 42)).first;
    return it->second;
}

template <class Scan>
void run(benchmark::State& state, Scan scan)
{
    const std::string& page = pageOf(std::size_t(state.range(0)));
    std::size_t entries = 0;
    for (auto _ : state) {
        bw::ScanResult result = scan(page);
        entries = result.entries.size();
        benchmark::DoNotOptimize(result);
    }
    state.counters["entries"] = double(entries);
    state.SetBytesProcessed(std::int64_t(state.iterations() * page.size()));
}

void fast(benchmark::State& state, ScanVariant variant)
{
    const std::string& page = pageOf(std::size_t(state.range(0)));
    // These pages must not need the plain fallback; if they did, this would measure the wrong thing.
    if (!bw::detail::indexedScan(page, variant, bw::detail::defaultWorkLimit(page.size()))) {
        state.SkipWithError("the indexed scan gave up on this page");
        return;
    }
    run(state, [variant](const std::string& p) { return bw::scanImageTags(p, variant); });
}

void literal(benchmark::State& state, ScanVariant variant)
{
    run(state, [variant](const std::string& p) { return bw::literalScan(p, variant); });
}

// Sizes in KiB; about one distinct tag per KiB (1 MiB: 1,000 tags, 10 MiB: 10,000 tags).
void fastSizes(benchmark::internal::Benchmark* b)
{
    for (int kib : {100, 1024, 2560, 5120, 10240})
        b->Arg(kib);
    b->Unit(benchmark::kMillisecond);
}

void literalSizes(benchmark::internal::Benchmark* b)
{
    for (int kib : {100, 300, 1024})
        b->Arg(kib);
    b->Unit(benchmark::kMillisecond)->Iterations(1);
}

} // namespace

BENCHMARK_CAPTURE(fast, main, ScanVariant::Main)->Apply(fastSizes);
BENCHMARK_CAPTURE(fast, batch, ScanVariant::Batch)->Apply(fastSizes);
BENCHMARK_CAPTURE(literal, main, ScanVariant::Main)->Apply(literalSizes);
BENCHMARK_CAPTURE(literal, batch, ScanVariant::Batch)->Apply(literalSizes);

BENCHMARK_MAIN();
