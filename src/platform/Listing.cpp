#include "platform/Listing.h"

#include <algorithm>
#include <array>

namespace bw {
namespace {

constexpr std::size_t kNameColumn = 56; // where the name stands on the classic layout

struct Token {
    std::size_t begin, end;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view s, std::size_t min, std::size_t max)
{
    if (s.size() < min || s.size() > max)
        return false;
    for (char c : s)
        if (!isDigit(c))
            return false;
    return true;
}

bool isMonth(std::string_view s)
{
    static constexpr std::array<std::string_view, 12> months = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (s.size() != 3)
        return false;
    char lower[3];
    for (int i = 0; i < 3; ++i)
        lower[i] = (s[i] >= 'A' && s[i] <= 'Z') ? char(s[i] + 32) : s[i];
    for (auto m : months)
        if (m == std::string_view(lower, 3))
            return true;
    return false;
}

// "9:05", "21:38", also with seconds "21:38:07".
bool isClock(std::string_view s)
{
    std::size_t colon = s.find(':');
    if (colon == std::string_view::npos || !allDigits(s.substr(0, colon), 1, 2))
        return false;
    std::string_view rest = s.substr(colon + 1);
    if (rest.size() == 2)
        return allDigits(rest, 2, 2);
    return rest.size() == 5 && rest[2] == ':' && allDigits(rest.substr(0, 2), 2, 2) && allDigits(rest.substr(3), 2, 2);
}

// "2024-03-07", as ls --time-style=long-iso writes it.
bool isIsoDate(std::string_view s)
{
    return s.size() == 10 && s[4] == '-' && s[7] == '-' && allDigits(s.substr(0, 4), 4, 4) &&
           allDigits(s.substr(5, 2), 2, 2) && allDigits(s.substr(8, 2), 2, 2);
}

std::vector<Token> tokens(std::string_view line)
{
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        if (i == line.size())
            break;
        std::size_t b = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        out.push_back({b, i});
    }
    return out;
}

// Where the name begins: one blank after the date fields, which follow the size.
std::size_t nameStart(std::string_view line)
{
    auto t = tokens(line);
    auto text = [&](std::size_t k) { return line.substr(t[k].begin, t[k].end - t[k].begin); };
    for (std::size_t k = 1; k + 1 < t.size(); ++k) {
        if (!allDigits(text(k - 1), 1, 20))
            continue;
        std::size_t last = 0;
        if (k + 2 < t.size() && isMonth(text(k)) && allDigits(text(k + 1), 1, 2) &&
            (isClock(text(k + 2)) || allDigits(text(k + 2), 4, 4)))
            last = k + 2;
        else if (isIsoDate(text(k)) && isClock(text(k + 1)))
            last = k + 1;
        else
            continue;
        std::size_t start = t[last].end + 1;
        if (start < line.size())
            return start;
    }
    return std::string_view::npos;
}

} // namespace

bool isDirectoryLine(std::string_view line) { return !line.empty() && line.front() == 'd'; }

std::string listingName(std::string_view line)
{
    std::size_t start = nameStart(line);
    if (start == std::string_view::npos)
        return line.size() >= kNameColumn ? std::string(line.substr(kNameColumn - 1)) : std::string();
    std::string_view name = line.substr(start);
    if (!line.empty() && line.front() == 'l') {
        std::size_t arrow = name.find(" -> ");
        if (arrow != std::string_view::npos && arrow > 0)
            name = name.substr(0, arrow);
    }
    return std::string(name);
}

bool hasControlCharacter(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return true;
    return false;
}

bool isSafeName(std::string_view name)
{
    if (name.empty() || name == "." || name == ".." || hasControlCharacter(name))
        return false;
    for (char c : name)
        if (c == '/' || c == '\\')
            return false;
    return true;
}

void RawListing::hold(std::string_view piece)
{
    // Only what can still be kept is copied: the rest of an overlong line is dropped as it comes.
    const std::size_t room = kMaxListingLine + 1 - std::min(held_.size(), kMaxListingLine + 1);
    if (piece.size() > room)
        heldTooLong_ = true;
    held_.append(piece.substr(0, room));
}

void RawListing::endLine()
{
    std::string line = std::move(held_);
    held_.clear();
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (heldTooLong_ || line.size() > kMaxListingLine) {
        line.resize(kMaxListingLine);
        ++cut_;
    }
    heldTooLong_ = false;
    lines_.push_back(std::move(line));
}

void RawListing::append(std::string_view text)
{
    std::size_t from = 0;
    for (;;) {
        std::size_t lf = text.find('\n', from);
        if (lf == std::string_view::npos)
            break;
        hold(text.substr(from, lf - from));
        endLine();
        from = lf + 1;
    }
    hold(text.substr(from));
}

void RawListing::finish()
{
    if (!held_.empty())
        endLine();
}

void RawListing::clear()
{
    lines_.clear();
    held_.clear();
    heldTooLong_ = false;
    cut_ = 0;
}

std::string_view RawListing::line(std::size_t i) const
{
    return i < lines_.size() ? std::string_view(lines_[i]) : std::string_view();
}

} // namespace bw
