#pragma once
// Finds the image tags of a page (see ripHtml in Form1).
#include <string>
#include <string_view>
#include <vector>

namespace bw {

// Main window: case-insensitive, lower-cases its working text after the first entry.
// Batch window: exact case throughout.
enum class ScanVariant { Main, Batch };

struct ScanResult {
    std::vector<std::string> entries; // one per image tag entry, in the order found
    bool background = false;          // the page contains "ckground="
    std::string remainder;            // working text after the scan, spaces trimmed at both ends
};

ScanResult scanImageTags(std::string_view page, ScanVariant variant);

} // namespace bw
