#pragma once
// The same picture under any name: a key for a file's bytes, so copies in other folders and
// under other names meet. Kept in memory only (the hash is the standard library's).
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace bw {

inline std::string contentKey(std::string_view bytes)
{
    // The size beside the hash: two files of different sizes never share a key.
    char key[48];
    std::snprintf(key, sizeof key, "%016zx-%zu", std::hash<std::string_view>{}(bytes), bytes.size());
    return key;
}

} // namespace bw
