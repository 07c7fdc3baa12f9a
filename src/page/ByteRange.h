#pragma once
// A stretch of a page's bytes: [begin, end), 0-based. Every position in the page code is one.
#include <cstddef>
#include <string_view>

namespace bw {

struct ByteRange {
    size_t begin = 0, end = 0;
    size_t size() const { return end - begin; }
    bool empty() const { return end == begin; }
    bool contains(size_t at) const { return begin <= at && at < end; }
    std::string_view of(std::string_view text) const { return text.substr(begin, end - begin); }
    ByteRange shifted(std::ptrdiff_t by) const
    {
        return {static_cast<size_t>(static_cast<std::ptrdiff_t>(begin) + by),
                static_cast<size_t>(static_cast<std::ptrdiff_t>(end) + by)};
    }
    friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

} // namespace bw
