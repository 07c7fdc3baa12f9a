#pragma once
// What a batch leaves behind: its pages' images counted as the files hold them, by how their
// ALT stands, and the words the user reads at its end. No window.
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace bw {

struct [[nodiscard]] BatchSummary {
    size_t pages = 0;      // read as pages
    size_t described = 0;  // images with a non-empty ALT
    size_t decorative = 0; // ALT="": nothing for a reader to hear
    size_t missing = 0;    // no ALT at all
    size_t unread = 0;     // pages that could not be read, or are not HTML
    BatchSummary& operator+=(const BatchSummary& o);
};

// One page's images as the main window lists them: a tag written identically several times is
// one image, a body background is none.
BatchSummary summarizePage(FileSystem& files, const std::string& page);
// Every page once, however often it is named.
BatchSummary summarize(FileSystem& files, const std::vector<std::string>& pages);

// "Batch finished: 12 pages, 40 images described, 3 decorative, 2 still missing an ALT."
std::string summaryText(const BatchSummary& summary);

} // namespace bw
