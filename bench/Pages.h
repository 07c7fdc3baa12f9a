#pragma once
// Large ordinary pages for the benchmarks.
#include <algorithm>
#include <fstream>
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

} // namespace bw::bench
