// The image finder on a large modern page, against a bare memchr pass over its "<" and
// against libgumbo building the whole tree.
#include "page/ImageFinder.h"

#include <benchmark/benchmark.h>
#include <gumbo.h>

#include <cstring>
#include <random>
#include <string>

namespace {

// About 10 MB with 10,000 image tags among paragraphs, links, comments and scripts.
const std::string& modernPage()
{
    static const std::string page = [] {
        constexpr size_t kBytes = 10'000'000;
        constexpr int kImages = 10'000;
        std::mt19937 rng(20240601);
        std::string out = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Gallery &amp; news</title>"
                          "<link rel=stylesheet href=\"/css/site.css\"><style>.card > img { width: 100%; }</style>"
                          "<script async src=\"/js/app.js\"></script></head>\n<body class=\"home\">\n";
        const char* words[] = {"harbour", "the", "boats", "and", "a", "lighthouse", "at", "dusk,", "seen", "from",
                               "pier", "with", "gulls", "over", "calm", "water.", "Caf\xc3\xa9", "menu", "<", "&amp;"};
        for (int i = 0; i < kImages; ++i) {
            const std::string n = std::to_string(i);
            out += "<div class=\"card card-" + n + "\" data-index='" + n + "'><h2 id=h" + n + ">Item " + n + "</h2>\n";
            switch (i % 5) {
            case 0:
                out += "<img src=\"/img/photo-" + n + ".jpg\" srcset=\"/img/photo-" + n + "@2x.jpg 2x, /img/photo-" + n +
                       "@3x.jpg 3x\" sizes=\"(max-width: 600px) 100vw, 50vw\" loading=\"lazy\" decoding=async "
                       "width=640 height=480 class='hero wide'>";
                break;
            case 1:
                out += "<picture><source srcset='/img/p" + n + ".avif' type='image/avif'><source srcset=\"/img/p" + n +
                       ".webp\" type=\"image/webp\"><IMG SRC=\"/img/p" + n + ".jpg\" ALT=\"Photo " + n +
                       "\" width=\"800\" height=\"600\"></picture>";
                break;
            case 2:
                out += "<a href=\"/item/" + n + "\" class=thumb><img src=/thumbs/" + n +
                       ".png alt='' data-full=\"/full/" + n + ".png\" fetchpriority=low /></a>";
                break;
            case 3:
                out += "<form action=/go><input type=\"image\" src=\"/btn/go-" + n +
                       ".gif\" name=go value=Go></form>";
                break;
            default:
                out += "<map name=m" + n + "><area shape=rect coords=\"0,0,10,10\" href=\"/region/" + n +
                       "\" alt=\"Region\"></map>";
                break;
            }
            if (i % 7 == 0)
                out += "<!-- teaser " + n + ": <img src=\"old.gif\"> kept for later -->";
            if (i % 10 == 0)
                out += "<script>window.items.push({id: " + n +
                       ", html: \"<img src='/x.gif'>\"}); if (a < b && c > d) { render('</div>'); }</script>";
            const size_t until = kBytes * static_cast<size_t>(i + 1) / kImages;
            while (out.size() < until) {
                out += "<p>";
                for (int w = 0; w < 60; ++w) {
                    out += words[rng() % (sizeof words / sizeof *words)];
                    out += ' ';
                }
                out += "<a href=\"/more\">more</a> <em>now</em>.</p>\n";
            }
            out += "</div>\n";
        }
        out += "</body></html>\n";
        return out;
    }();
    return page;
}

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
