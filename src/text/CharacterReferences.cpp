#include "text/CharacterReferences.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "text/Encoding.h"

namespace bw {
namespace {

struct Named {
    std::string_view name, utf8;
};
constexpr Named kNamed[] = {
#include "text/NamedReferences.inc"
};
static_assert(std::is_sorted(std::begin(kNamed), std::end(kNamed), [](const Named& a, const Named& b) { return a.name < b.name; }));
// Names read without a ";" are all at most this long.
constexpr size_t kLongestBare = 6;
constexpr size_t kLongestName = 32;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlnum(char c) { return isDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); }
int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

const Named* lookUp(std::string_view name)
{
    const Named* found = std::lower_bound(std::begin(kNamed), std::end(kNamed), name,
                                          [](const Named& n, std::string_view key) { return n.name < key; });
    return found != std::end(kNamed) && found->name == name ? found : nullptr;
}

// Browsers read &#128;..&#159; as Windows-1252, which is what old pages meant by them.
constexpr uint16_t kWindows1252[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178,
};

uint32_t usableCodePoint(uint32_t code)
{
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0xFFFD;
    if (code >= 0x80 && code <= 0x9F)
        return kWindows1252[code - 0x80];
    return code;
}

// "&#...": where the reference ends, or `at` when no digit follows ("&#" stays as written).
size_t numeric(std::string_view s, size_t at, std::string& out)
{
    size_t i = at + 2; // past "&#"
    const bool hex = i < s.size() && (s[i] == 'x' || s[i] == 'X');
    if (hex)
        ++i;
    const size_t digits = i;
    uint32_t code = 0;
    for (; i < s.size() && (hex ? hexValue(s[i]) >= 0 : isDigit(s[i])); ++i)
        if (code <= 0x10FFFF) // past that it is U+FFFD however long it goes on
            code = code * (hex ? 16 : 10) + static_cast<uint32_t>(hexValue(s[i]));
    if (i == digits)
        return at;
    appendUtf8(out, usableCodePoint(code));
    return i < s.size() && s[i] == ';' ? i + 1 : i;
}

// "&name": the longest name of the list the text starts with; `at` when none is read.
size_t named(std::string_view s, size_t at, bool attribute, std::string& out)
{
    size_t end = at + 1;
    while (end < s.size() && end - at <= kLongestName && isAlnum(s[end]))
        ++end;
    const std::string_view run = s.substr(at + 1, end - at - 1);
    if (end < s.size() && s[end] == ';')
        if (const Named* whole = lookUp(s.substr(at + 1, run.size() + 1))) {
            out += whole->utf8;
            return end + 1;
        }
    for (size_t length = std::min(run.size(), kLongestBare); length > 1; --length) {
        const Named* bare = lookUp(run.substr(0, length));
        if (!bare)
            continue;
        const size_t after = at + 1 + length;
        if (attribute && after < s.size() && (s[after] == '=' || isAlnum(s[after])))
            return at;
        out += bare->utf8;
        return after;
    }
    return at;
}

std::string decoded(std::string_view s, bool attribute)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const size_t amp = s.find('&', i);
        out.append(s.substr(i, amp - i));
        if (amp == std::string_view::npos)
            break;
        const bool number = amp + 1 < s.size() && s[amp + 1] == '#';
        i = number ? numeric(s, amp, out) : named(s, amp, attribute, out);
        if (i == amp) { // not a reference: the "&" is text
            out += '&';
            ++i;
        }
    }
    return out;
}

} // namespace

std::string decodeAttribute(std::string_view utf8) { return decoded(utf8, true); }

std::string decodeText(std::string_view utf8) { return decoded(utf8, false); }

bool readsAsWritten(std::string_view bytes, const std::string& encoding)
{
    if (std::string_view(encoding) != "UTF-8") // a view: its length is known, no strlen at each call
        return false;
    // Most texts are short and ASCII: eight bytes at a time settle them, the last eight read
    // again where the size is no multiple of eight.
    constexpr uint64_t kOnes = 0x0101010101010101u, kHigh = 0x8080808080808080u, kAmpersands = 0x2626262626262626u;
    uint64_t seen = 0;
    const auto look = [&](const char* at) {
        uint64_t word;
        std::memcpy(&word, at, 8);
        seen |= word;
        const uint64_t amp = word ^ kAmpersands; // a zero byte for each "&"
        return ((amp - kOnes) & ~amp & kHigh) == 0;
    };
    const size_t n = bytes.size();
    if (n >= 8) {
        for (size_t at = 0; at + 8 <= n; at += 8)
            if (!look(bytes.data() + at))
                return false;
        if (n % 8 != 0 && !look(bytes.data() + n - 8))
            return false;
    } else {
        for (const char c : bytes) {
            if (c == '&')
                return false;
            seen |= static_cast<unsigned char>(c);
        }
    }
    return !(seen & kHigh) || validUtf8(bytes);
}

} // namespace bw
