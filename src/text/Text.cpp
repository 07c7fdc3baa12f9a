#include "text/Text.h"

#include <algorithm>
#include <functional>

namespace bw::text {

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

size_t inStrNoCase(std::string_view hay, std::string_view needle, size_t start)
{
    if (start == 0 || start > hay.size() + 1)
        return 0;
    if (needle.empty())
        return start;
    struct Hash {
        size_t operator()(char c) const { return static_cast<unsigned char>(lowerAscii(c)); }
    };
    auto same = [](char a, char b) { return lowerAscii(a) == lowerAscii(b); };
    auto from = hay.begin() + static_cast<std::ptrdiff_t>(start - 1);
    std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end(), Hash{}, same);
    auto it = searcher(from, hay.end()).first;
    return it == hay.end() ? 0 : static_cast<size_t>(it - hay.begin()) + 1;
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
