#pragma once
// The site check: every image of the pages given, against the ALT rules, with no window.
#include <optional>
#include <string>
#include <vector>

#include "page/AltRules.h"

namespace bw {

struct CheckFinding {
    std::string file;
    size_t line = 0, column = 0; // of the tag's "<", both from 1
    const AltRule* rule = nullptr;
    std::string src;                // the picture's name as the tag writes it
    std::optional<std::string> alt; // as a reader gets it; nullopt: the tag has none
};

struct CheckReport {
    size_t pages = 0, images = 0;
    std::vector<CheckFinding> findings;
    std::vector<std::string> errors; // paths that could not be checked, each with why
};

// Files are checked as named; folders are walked, with their subfolders, for .html, .htm,
// .shtml and .xhtml pages, in name order.
CheckReport checkSite(const std::vector<std::string>& paths);

// One line per finding, as compilers write theirs: FILE:LINE:COLUMN: severity: message [rule].
std::string textReport(const CheckReport& report);

// 0: nothing to fix, 1: findings of error or warning severity, 2: a path could not be checked.
int checkStatus(const CheckReport& report);

} // namespace bw
