#pragma once
// Directory listings as FTP servers send them: the raw lines, and the names in them.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

// Directories are the lines that begin with a lowercase "d".
bool isDirectoryLine(std::string_view line);

// The entry's name in a long-format (ls -l) line: what follows the date and time (or
// year) fields, spaces and all; a symbolic link's " -> target" is left off. A line that
// follows no known layout gives its text from character 56 on (empty when shorter).
std::string listingName(std::string_view line);

// A name that can be fetched into a folder without writing outside it: not empty, not
// "." or "..", no "/" or "\" and no control characters.
bool isSafeName(std::string_view name);

// CR, LF and the other control characters: text holding one must never reach a server
// command, where a line end would start a command of its own.
bool hasControlCharacter(std::string_view text);

// Longer listing lines are cut to this length: no real name comes near it, and a longer
// one would only stall the window.
inline constexpr std::size_t kMaxListingLine = 64 * 1024;

// The lines of a listing as they arrive in pieces. Every line is kept, cut to
// kMaxListingLine. Lines end with CR LF or a bare LF (some servers send those); a last
// line without its end is held until the rest arrives.
class RawListing {
public:
    void append(std::string_view text);
    // The listing is complete: a held last part becomes a line of its own.
    void finish();
    void clear();
    const std::vector<std::string>& lines() const { return lines_; }
    std::size_t count() const { return lines_.size(); }
    // Reading past the end gives an empty line, as a list box does.
    std::string_view line(std::size_t i) const;
    // How many lines were cut to kMaxListingLine.
    std::size_t cut() const { return cut_; }

private:
    void hold(std::string_view piece);
    void endLine();

    std::vector<std::string> lines_;
    std::string held_;
    bool heldTooLong_ = false;
    std::size_t cut_ = 0;
};

} // namespace bw
