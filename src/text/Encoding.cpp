#include "text/Encoding.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/Text.h"

namespace bw {
namespace {

class Converter {
public:
    Converter(const std::string& to, const std::string& from) : cd_(::iconv_open(to.c_str(), from.c_str())) {}
    ~Converter()
    {
        if (ok())
            ::iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as it can; stops at what does not convert (returns false).
    bool run(const char*& in, size_t& inLeft, std::string& out)
    {
        while (inLeft > 0) {
            char buffer[4096];
            char* to = buffer;
            size_t toLeft = sizeof buffer;
            char* from = const_cast<char*>(in);
            size_t r = ::iconv(cd_, &from, &inLeft, &to, &toLeft);
            in = from;
            out.append(buffer, sizeof buffer - toLeft);
            if (r == static_cast<size_t>(-1) && errno != E2BIG)
                return false;
        }
        return true;
    }
    // Back to the initial shift state, so that plain ASCII may follow.
    void reset(std::string& out)
    {
        char buffer[64];
        char* to = buffer;
        size_t toLeft = sizeof buffer;
        ::iconv(cd_, nullptr, nullptr, &to, &toLeft);
        out.append(buffer, sizeof buffer - toLeft);
    }

private:
    iconv_t cd_;
};

// Length of the valid UTF-8 sequence at the start of s (0 when it is not one) and its value.
size_t utf8At(std::string_view s, uint32_t& cp)
{
    const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    if (s.empty())
        return 0;
    const unsigned char c = b(0);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    size_t n;
    uint32_t min;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2, cp = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3, cp = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() < n)
        return 0;
    for (size_t i = 1; i < n; ++i) {
        if ((b(i) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b(i) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

} // namespace

void appendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool knownEncoding(const std::string& name) { return Converter(name, "UTF-8").ok(); }

bool validUtf8(std::string_view text)
{
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        // Plain ASCII runs are the common case: thirty-two, then eight bytes at a time.
#if defined(__SSE2__)
        for (; i + 32 <= n; i += 32) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i + 16));
            if (_mm_movemask_epi8(_mm_or_si128(a, b)))
                break;
        }
#endif
        while (i + 8 <= n) {
            uint64_t word;
            std::memcpy(&word, text.data() + i, 8);
            if (word & 0x8080808080808080ull)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        if (static_cast<unsigned char>(text[i]) < 0x80) { // the last few bytes of a short text
            ++i;
            continue;
        }
        uint32_t cp;
        size_t len = utf8At(text.substr(i), cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}


std::string toPageEncoding(std::string_view utf8, const std::string& encoding)
{
    if (encoding == "UTF-8")
        return std::string(utf8);
    Converter convert(encoding, "UTF-8");
    if (!convert.ok())
        return std::string(utf8);
    std::string out;
    const char* in = utf8.data();
    size_t left = utf8.size();
    while (!convert.run(in, left, out)) {
        // A character the page cannot hold: as a reference every browser reads.
        convert.reset(out);
        uint32_t cp = static_cast<unsigned char>(*in);
        size_t len = utf8At(std::string_view(in, left), cp);
        if (len == 0)
            len = 1;
        out += "&#" + std::to_string(cp) + ";";
        in += len;
        left -= len;
    }
    convert.reset(out);
    return out;
}

std::string_view fromPageEncoding(std::string_view bytes, const std::string& encoding, std::string& scratch)
{
    if (std::string_view(encoding) == "UTF-8" && validUtf8(bytes))
        return bytes;
    scratch = fromPageEncoding(bytes, encoding);
    return scratch;
}

std::string fromPageEncoding(std::string_view bytes, const std::string& encoding)
{
    std::string out;
    if (encoding == "UTF-8" && validUtf8(bytes))
        return std::string(bytes);
    if (encoding == "UTF-8") {
        for (size_t i = 0; i < bytes.size();) {
            uint32_t cp;
            size_t len = utf8At(bytes.substr(i), cp);
            if (len == 0) {
                appendUtf8(out, static_cast<unsigned char>(bytes[i]));
                ++i;
            } else {
                out.append(bytes.substr(i, len));
                i += len;
            }
        }
        return out;
    }
    Converter convert("UTF-8", encoding);
    const char* in = bytes.data();
    size_t left = bytes.size();
    if (!convert.ok()) {
        for (char c : bytes)
            appendUtf8(out, static_cast<unsigned char>(c));
        return out;
    }
    while (!convert.run(in, left, out)) {
        appendUtf8(out, static_cast<unsigned char>(*in));
        ++in;
        --left;
    }
    return out;
}

std::optional<std::string> utf16ToUtf8(std::string_view bytes, bool bigEndian)
{
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    const auto unit = [&](size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<uint32_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    std::string out;
    out.reserve(bytes.size() / 2 * 3 / 2);
    for (size_t i = 0; i < bytes.size(); i += 2) {
        uint32_t cp = unit(i);
        if (cp >= 0xDC00 && cp <= 0xDFFF)
            return std::nullopt;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            const uint32_t low = i + 3 < bytes.size() ? unit(i + 2) : 0;
            if (low < 0xDC00 || low > 0xDFFF)
                return std::nullopt;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string utf8ToUtf16(std::string_view utf8, bool bigEndian)
{
    std::string out;
    out.reserve(utf8.size() * 2);
    const auto put = [&](uint32_t unit) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    };
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp = 0xFFFD;
        const size_t length = utf8At(utf8.substr(i), cp);
        i += length ? length : 1;
        if (!length)
            cp = 0xFFFD;
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

std::string withoutControls(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == '\r' || c == '\n' || c == '\t') {
            if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')
                ++i;
            out += ' ';
        } else if (c < 0x20 || c == 0x7F) {
            continue;
        } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            if (static_cast<unsigned char>(utf8[i + 1]) == 0x85) // NEXT LINE breaks a line too
                out += ' ';
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace bw
