#include "oracle/OldScanner.h"

#include <string>

namespace bw::oracle {
namespace {

// The two comparison modes of the original: exact, or letters without regard to case.
enum class Compare { Binary, Text };

char lowerLetter(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool sameChar(char a, char b, Compare compare)
{
    return compare == Compare::Text ? lowerLetter(a) == lowerLetter(b) : a == b;
}

bool matchesAt(const std::string& text, std::size_t i, const std::string& what, Compare compare)
{
    if (i + what.size() > text.size())
        return false;
    for (std::size_t k = 0; k < what.size(); ++k)
        if (!sameChar(text[i + k], what[k], compare))
            return false;
    return true;
}

// InStr(1, text, what): 1-based position of the first occurrence, 0 when there is none.
std::size_t inStr(const std::string& text, const std::string& what, Compare compare)
{
    for (std::size_t i = 0; i < text.size(); ++i)
        if (matchesAt(text, i, what, compare))
            return i + 1;
    return 0;
}

// Replace(text, what, with): every occurrence, left to right, never overlapping, found in the
// text as it was before the call.
std::string replace(const std::string& text, const std::string& what, const std::string& with,
                    Compare compare)
{
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (matchesAt(text, i, what, compare)) {
            out += with;
            i += what.size();
        } else {
            out += text[i];
            ++i;
        }
    }
    return out;
}

std::string lCase(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        c = lowerLetter(c);
    return out;
}

// Mid(text, start, length) with a 1-based start.
std::string mid(const std::string& text, std::size_t start, std::size_t length)
{
    if (start > text.size())
        return {};
    return text.substr(start - 1, length);
}

std::string trimSpaces(const std::string& text)
{
    std::size_t first = 1;
    std::size_t last = text.size();
    while (first <= last && text[first - 1] == ' ')
        ++first;
    while (last >= first && text[last - 1] == ' ')
        --last;
    return mid(text, first, last - first + 1);
}

std::size_t extensionPosition(const std::string& text, Compare compare)
{
    const std::size_t j = inStr(text, ".jpg", compare);
    const std::size_t g = inStr(text, ".gif", compare);
    std::size_t ext = j < g ? j : g;
    if (g == 0)
        ext = j;
    if (j == 0)
        ext = g;
    return ext;
}

} // namespace

ScanResult literalScan(std::string_view page, ScanVariant variant)
{
    const bool mainWindow = variant == ScanVariant::Main;
    const Compare compare = mainWindow ? Compare::Text : Compare::Binary;
    ScanResult result;
    std::string text(page);

    // 1. Comment markers.
    const std::string commentOpener = std::string("<") + "!" + "--";
    text = replace(text, commentOpener, " ", compare);
    text = replace(text, "-->", " ", compare);

    // 2. First tag opening.
    std::size_t tag = 0;
    if (inStr(text, "ckground=", compare) > 0) {
        tag = inStr(text, "ckground=", compare);
        result.background = true;
    } else {
        tag = inStr(text, "<img SRC=", compare);
        if (mainWindow && tag == 0)
            tag = inStr(text, "<IMG SRC=", compare);
    }

    // 3. First extension.
    std::size_t ext = extensionPosition(text, compare);

    // 4. Loop.
    while (tag != 0 && ext != 0 && ext > tag) {
        const std::size_t length = ext - tag + 5;
        const std::string entry = mid(text, tag, length);
        result.entries.push_back(entry);
        text = replace(text, entry, " ", compare);
        tag = inStr(text, "<img SRC", compare);
        if (mainWindow) {
            text = lCase(text);
            if (tag == 0)
                tag = inStr(text, "<IMG SRC", compare);
            if (tag == 0 || inStr(text, "<img src", compare) > inStr(text, "<img", compare))
                tag = inStr(text, "<img", compare);
        }
        ext = extensionPosition(text, compare);
    }

    // 5. Result.
    result.remainder = trimSpaces(text);
    return result;
}

} // namespace bw::oracle
