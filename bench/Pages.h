#pragma once
// Large ordinary pages for the benchmarks.
#include <algorithm>
#include <fstream>
#include <random>
#include <string>

namespace bw::bench {

// A page of about `bytes` bytes with `tags` distinct image tags among paragraphs; every
// `altEvery`-th tag (none when 0) already has an ALT.
// Tags are numbered from `first` on.
inline std::string makePage(size_t bytes, int tags, int altEvery = 0, int first = 0)
{
    std::string page = "<html><head><title>Large page</title></head><body>\r\n";
    const std::string paragraph =
        "<p>Brindlework writes alternative texts into image tags, so that people who use screen readers "
        "hear what each picture shows. This paragraph is filler text of an ordinary web page.</p>\r\n";
    const size_t perTag = bytes / static_cast<size_t>(tags);
    for (int i = 0; i < tags; ++i) {
        const int n = first + i;
        page += "<img SRC=\"images/picture" + std::to_string(n) + (n % 3 ? ".gif\"" : ".jpg\"") +
                (altEvery && n % altEvery == 0 ? " ALT=\"Picture number " + std::to_string(n) + "\"" : "") +
                " width=120 height=80>\r\n";
        while (page.size() < perTag * static_cast<size_t>(i + 1))
            page += paragraph;
    }
    page += "</body></html>\r\n";
    return page;
}

// The same page written straight to a file, never held whole (for pages of 100 MB and more).
inline void writePage(const std::string& path, size_t bytes, int tags, int altEvery = 0)
{
    std::ofstream out(path, std::ios::binary);
    const size_t chunk = bytes / 64 + 1;
    const int perChunk = std::max(1, tags / 64);
    for (int first = 0; first < tags; first += perChunk) {
        out << makePage(chunk, std::min(perChunk, tags - first), altEvery, first);
    }
}

// About 10 MB with 10,000 image tags among paragraphs, links, comments and scripts.
inline const std::string& modernPage()
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

} // namespace bw::bench
