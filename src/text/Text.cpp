#include "text/Text.h"

#include <algorithm>
#include <cstring>
#include <functional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace bw::text {

#if defined(__x86_64__)
namespace {

// Past the 64-byte stretches from `at` that hold no two bytes `first`, `second` (either case:
// `fold` has 0x20 where a letter's case is to be ignored) one after the other. Where the
// processor has AVX2, a page's search for "<meta" and "<base" goes twice as fast.
[[gnu::target("avx2")]] const char* skipNoPairAvx2(const char* at, const char* end, char first, char second, char fold0, char fold1)
{
    const __m256i want0 = _mm256_set1_epi8(first), want1 = _mm256_set1_epi8(second);
    const __m256i f0 = _mm256_set1_epi8(fold0), f1 = _mm256_set1_epi8(fold1);
    for (; end - at >= 65; at += 64) {
        __m256i hits = _mm256_setzero_si256();
        for (int half = 0; half < 64; half += 32) { // unrolled: a lambda would not take the target
            const __m256i a = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + half)), f0);
            const __m256i b = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + half + 1)), f1);
            hits = _mm256_or_si256(hits, _mm256_and_si256(_mm256_cmpeq_epi8(a, want0), _mm256_cmpeq_epi8(b, want1)));
        }
        if (_mm256_movemask_epi8(hits))
            break;
    }
    return at;
}

// Asked as the program starts, perhaps before libgcc has looked at the processor: it is told to.
const bool kAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();

} // namespace
#endif

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

size_t inStr(std::string_view hay, std::string_view needle, size_t start)
{
    if (start == 0 || start > hay.size() + 1)
        return 0;
    size_t found = hay.find(needle, start - 1);
    return found == std::string_view::npos ? 0 : found + 1;
}

size_t countByte(std::string_view s, char c)
{
    size_t count = 0, at = 0;
#if defined(__SSE2__)
    // Each of sixteen lanes counts its matches for up to 255 stretches, then they are summed:
    // no branch on what the bytes hold.
    const __m128i sought = _mm_set1_epi8(c), zero = _mm_setzero_si128();
    while (s.size() - at >= 16) {
        const size_t stretches = std::min<size_t>((s.size() - at) / 16, 255);
        __m128i lanes = zero;
        for (size_t i = 0; i < stretches; ++i, at += 16)
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + at)), sought));
        const __m128i sums = _mm_sad_epu8(lanes, zero);
        count += static_cast<size_t>(_mm_cvtsi128_si32(sums)) + static_cast<size_t>(_mm_extract_epi16(sums, 4));
    }
#endif
    for (; at < s.size(); ++at)
        count += s[at] == c;
    return count;
}

size_t inStrNoCase(std::string_view hay, std::string_view needle, size_t start)
{
    if (start == 0 || start > hay.size() + 1)
        return 0;
    if (needle.empty())
        return start;
    if (needle.size() > hay.size() - (start - 1))
        return 0;
    // Each candidate is found by its first byte, in either case: the needles are short words,
    // the pages long, and a searcher's tables cost more than they save.
    const char lower = lowerAscii(needle[0]);
    const char upper = lower >= 'a' && lower <= 'z' ? static_cast<char>(lower - 32) : lower;
    const char* const end = hay.data() + hay.size();
    auto next = [&](const char* from, char c) {
        const size_t at = findByte(hay, static_cast<size_t>(from - hay.data()), c);
        return at == std::string_view::npos ? end : hay.data() + at;
    };
    const auto same = [](char a, char b) { return lowerAscii(a) == lowerAscii(b); };
    const char* at = hay.data() + (start - 1);
#if defined(__SSE2__)
    // The first two bytes, either case, sixteen places at a time: "<meta" on a page is found
    // without stopping at each of its thousands of "<".
    if (needle.size() >= 2) {
        const char second = lowerAscii(needle[1]);
        const auto foldOf = [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? 0x20 : 0); };
        const __m128i fold0 = _mm_set1_epi8(foldOf(lower)), fold1 = _mm_set1_epi8(foldOf(second));
        const __m128i want0 = _mm_set1_epi8(lower), want1 = _mm_set1_epi8(second);
        const auto pairs = [&](const char* p) {
            const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), fold0);
            const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1)), fold1);
            return _mm_and_si128(_mm_cmpeq_epi8(a, want0), _mm_cmpeq_epi8(b, want1));
        };
        for (; end - at >= 17; at += 16) {
#if defined(__x86_64__)
            if (kAvx2)
                at = skipNoPairAvx2(at, end, lower, second, foldOf(lower), foldOf(second));
#endif
            // Most stretches hold no candidate: thirty-two bytes are passed with one test.
            while (end - at >= 33 && !_mm_movemask_epi8(_mm_or_si128(pairs(at), pairs(at + 16))))
                at += 32;
            if (end - at < 17)
                break;
            for (unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(pairs(at))); hits; hits &= hits - 1) {
                const char* candidate = at + __builtin_ctz(hits);
                if (static_cast<size_t>(end - candidate) < needle.size())
                    return 0;
                if (std::equal(needle.begin() + 2, needle.end(), candidate + 2, same))
                    return static_cast<size_t>(candidate - hay.data()) + 1;
            }
        }
    }
#endif
    const char* nextLower = next(at, lower);
    const char* nextUpper = upper == lower ? end : next(at, upper);
    for (;;) {
        at = std::min(nextLower, nextUpper);
        if (static_cast<size_t>(end - at) < needle.size())
            return 0;
        if (std::equal(needle.begin() + 1, needle.end(), at + 1, same))
            return static_cast<size_t>(at - hay.data()) + 1;
        if (at == nextLower)
            nextLower = next(at + 1, lower);
        else
            nextUpper = next(at + 1, upper);
    }
}

std::string mid(std::string_view s, long long start, long long length)
{
    if (start < 1 || length <= 0 || static_cast<unsigned long long>(start) > s.size())
        return {};
    return std::string(s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length)));
}

std::string mid(std::string_view s, long long start)
{
    if (start < 1 || static_cast<unsigned long long>(start) > s.size())
        return {};
    return std::string(s.substr(static_cast<size_t>(start - 1)));
}

std::string number(long long n) { return std::to_string(n); }

} // namespace bw::text
