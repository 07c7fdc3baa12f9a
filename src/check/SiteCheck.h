#pragma once
// The site check: every image of the pages given, against the ALT rules, with no window.
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "page/AltRules.h"

namespace bw {

class PictureTexts;

struct CheckFinding {
    std::shared_ptr<const std::string> page; // the page's path, one for all its findings
    size_t line = 0, column = 0; // of the tag's "<", both from 1
    const AltRule* rule = nullptr;
    std::string src;                // the picture's name as the tag writes it
    std::optional<std::string> alt; // as a reader gets it; nullopt: the tag has none
    // The picture's file as resolved from the page, empty when not on this computer: the first
    // `pictureFolder` bytes of the page's path, then `pictureRest`. Most pictures stand in their
    // page's folder, and a path made for each finding was a tenth of its cost.
    size_t pictureFolder = 0;
    std::string pictureRest;
    std::string pictureText; // alt-misses-picture-text: the text read in the picture
    // Errors and warnings fail the check; notes only inform.
    bool fails() const { return rule->severity != Severity::Note; }
    const std::string& file() const { return *page; }
    std::string_view pictureHead() const { return std::string_view(*page).substr(0, pictureFolder); }
    std::string picture() const { return std::string(pictureHead()).append(pictureRest); }
};

// One page's findings, or why a path could not be checked. A page with very many findings
// comes in parts, one after another, each with its own findings and images.
struct PageCheck {
    std::string path, error;
    size_t images = 0;
    std::vector<CheckFinding> findings;
    bool continues = false; // a part after the page's first
    bool more = false;      // more parts of the page follow
};

// Findings a team has accepted, so that only new ones fail: one line each of file, rule,
// picture and ALT (not line and column, which move as the page is edited).
class CheckBaseline {
public:
    static std::string lineOf(const CheckFinding& finding);
    // nullopt, with why in `error`, when the file cannot be read or a line is not one lineOf writes.
    static std::optional<CheckBaseline> read(const std::string& path, std::string& error);
    // True, once for each time the baseline holds it, for a finding it holds.
    bool accepts(const CheckFinding& finding);

private:
    std::multiset<std::string> lines_;
};

struct [[nodiscard]] CheckReport {
    size_t pages = 0, images = 0, errorsAndWarnings = 0, accepted = 0;
    // Every page's findings when no one takes the pages as they come; then, always, those of
    // the site as a whole (alt-conflict), known only once every page is read.
    std::vector<CheckFinding> findings;
    std::vector<std::string> errors; // paths that could not be checked, each with why
};

// Files are checked as named; folders are walked, with their subfolders, for .html, .htm,
// .shtml and .xhtml pages, in name order. Pages are read and searched on every core, a few
// at a time, and handed to `each` in that order, so that a large site never has to be held.
// Errors and warnings the baseline accepts are left out of what `each` gets and of the count.
// A picture (the same file, or the same address) given different ALTs on different pages gets
// one alt-conflict note for each of its ALTs, where that ALT was first seen; only those
// first places are kept meanwhile. With `pictures`, the pictures with an ALT are read too, for
// alt-misses-picture-text.
CheckReport checkSite(const std::vector<std::string>& paths, const std::function<void(const PageCheck&)>& each = {},
                      CheckBaseline* baseline = nullptr, PictureTexts* pictures = nullptr);

// One line per finding, as compilers write theirs: FILE:LINE:COLUMN: severity: message (picture) [rule];
// an alt-conflict names the ALT too.
std::string textLines(const std::vector<CheckFinding>& findings);

// Writes the findings as they come:
// - text: one line each;
// - json: {"findings": [{"file", "line", "column", "rule", "severity", "message", "src", "alt"},
//   ...], "pages": N, "images": M}, alt null for an image without one, and "pictureText" for
//   the text read in the picture where a finding has it;
// - sarif: a SARIF 2.1.0 log with one result per finding, the text read in the picture as the
//   result's property "pictureText";
// - junit: one test case per page, failed when the page has an error;
// - html: a page for people, needing no network: the totals per rule, then the findings grouped
//   by rule and within a rule by page, a row each with the picture's thumbnail (local files and
//   data: URLs up to 256 KB, each written once), then the pages with findings, each linked to
//   its groups, and a count of the pages without. All but the head is written at end().
// end() writes the findings the report still holds: the site's own.
class CheckPrinter {
public:
    static bool knows(std::string_view format)
    {
        return format == "text" || format == "json" || format == "sarif" || format == "junit" || format == "html";
    }
    CheckPrinter(std::string_view format, std::function<void(std::string_view)> write);
    ~CheckPrinter();
    void page(const PageCheck& page);
    void end(const CheckReport& report);

private:
    void finding(const CheckFinding& f);
    void writeHtmlEnd(const CheckReport& report);

    std::string format_;
    bool first_ = true;
    std::string cases_;   // junit needs its totals before its cases
    std::string failure_; // the errors of the page whose parts are coming
    size_t failures_ = 0;
    std::function<void(std::string_view)> write_;
    struct Html;
    std::unique_ptr<Html> html_;
};

// 0: nothing to fix, 1: findings of error or warning severity, 2: a path could not be checked.
int checkStatus(const CheckReport& report);

} // namespace bw
