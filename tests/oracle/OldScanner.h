#pragma once
// The finder pages were worked with before the tokenizer: kept as the oracle that shows the
// new finder and writing behave as before on classic pages. Transcribed step by step, slow.
#include <string>
#include <string_view>
#include <vector>

namespace bw::oracle {

// Main window: case-insensitive, lower-cases its working text after the first entry.
// Batch window: exact case throughout.
enum class ScanVariant { Main, Batch };

struct ScanResult {
    std::vector<std::string> entries; // one per image tag entry, in the order found
    bool background = false;          // the page contains "ckground="
    std::string remainder;            // working text after the scan, spaces trimmed at both ends
};

ScanResult literalScan(std::string_view page, ScanVariant variant);

} // namespace bw::oracle
