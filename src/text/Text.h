#pragma once
// Text operations on page bytes with 1-based positions, 0 meaning "not found".
// "No case" folds ASCII letters only, so UTF-8 text is never altered.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace bw::text {

inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// White space as HTML knows it between attributes.
inline bool isHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

bool equalsNoCase(std::string_view a, std::string_view b);

// Nothing but HTML white space (or nothing): what a reader hears as no text.
inline bool isBlank(std::string_view s)
{
    for (const char c : s)
        if (!isHtmlSpace(c))
            return false;
    return true;
}

// Where the byte c first stands at or after `from` (0-based), or npos: for bytes that stand a
// few dozen bytes apart, as "<" in a page, it costs less than memchr.
inline size_t findByte(std::string_view s, size_t from, char c)
{
    if (from >= s.size())
        return std::string_view::npos;
#if defined(__SSE2__)
    // Sixteen bytes at a time, without the start-up a call to memchr pays.
    const __m128i sought = _mm_set1_epi8(c);
    size_t at = from;
    for (; at + 16 <= s.size(); at += 16)
        if (const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + at)), sought)))
            return at + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
    for (; at < s.size(); ++at)
        if (s[at] == c)
            return at;
    return std::string_view::npos;
#else
    const void* hit = std::memchr(s.data() + from, c, s.size() - from);
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - s.data()) : std::string_view::npos;
#endif
}

// How many times the byte c stands in s.
size_t countByte(std::string_view s, char c);

// The first `n` bytes (at most 8) of `s` from `at`, ASCII letters in lower case, packed into
// one word with the first byte lowest: how tag and attribute names are looked up, without a
// loop a byte. 0 when one of them is NUL, as a shorter name would pack alike.
inline uint64_t lowerPacked(std::string_view s, size_t at, size_t n)
{
    n = n < 8 ? n : 8;
    uint64_t word = 0;
    if (at + 8 <= s.size()) {
        std::memcpy(&word, s.data() + at, 8);
    } else {
        for (size_t i = 0; i < n; ++i)
            word |= static_cast<uint64_t>(static_cast<unsigned char>(s[at + i])) << (8 * i);
    }
    const uint64_t kept = n >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * n)) - 1;
    word &= kept;
    constexpr uint64_t kOnes = 0x0101010101010101u, kHigh = 0x8080808080808080u;
    // A byte is NUL when it is 0 within the kept ones.
    if (const uint64_t probe = word | ~kept; (probe - kOnes) & ~probe & kHigh)
        return 0;
    // 'A' to 'Z' gain 0x20: bytes at or over 'A' and not over 'Z', of seven bits.
    const uint64_t low = word & ~kHigh;
    const uint64_t upper = (low + (0x80 - 'A') * kOnes) & ~(low + (0x80 - 'Z' - 1) * kOnes) & ~word & kHigh;
    return word | (upper >> 2);
}

// A byte as "%XX", in capitals: how names and addresses write what they may not hold.
inline std::string percentByte(unsigned char byte)
{
    constexpr const char* kHex = "0123456789ABCDEF";
    return {'%', kHex[byte >> 4], kHex[byte & 15]};
}

// First position of needle at or after start (1-based), or 0.
size_t inStr(std::string_view hay, std::string_view needle, size_t start = 1);
size_t inStrNoCase(std::string_view hay, std::string_view needle, size_t start = 1);

// Substring from 1-based start; a start past the end gives "", a negative length gives "".
std::string mid(std::string_view s, long long start, long long length);
std::string mid(std::string_view s, long long start);

std::string number(long long n);

} // namespace bw::text
