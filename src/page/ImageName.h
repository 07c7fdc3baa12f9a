#pragma once
// What an image tag names and where that picture is: a file near the page, an address on
// the web, or bytes carried in the page itself (a data: URL).
#include <string>
#include <string_view>
#include <vector>

#include "page/ImageFinder.h"

namespace bw {

// The name as the tag writes it: src; else data-src; else the first candidate of srcset (lazy
// pages); href for an area, background for a body. Empty when the tag names nothing.
std::string_view writtenName(std::string_view page, const FoundImage& image);

struct ImageSource {
    enum class Kind {
        None,   // the tag names nothing usable
        File,   // a file on this computer, relative to the page (or its base)
        Remote, // http(s):, or "//host/...": not on this computer
        Data,   // a data: URL, decoded
    };
    Kind kind = Kind::None;
    std::string path;      // File: character references and %-escapes decoded, ?query and #fragment
                           // dropped, "\" kept as written; Remote: the address as written
    bool rootRelative = false; // File: written as "/x/y.png"
    std::string data;      // Data: the decoded bytes
    std::string mediaType; // Data: "image/png" and the like, as written
};

// Classifies and decodes a written name (and, for a relative one, the page's <base href>).
ImageSource imageSource(std::string_view written, std::string_view baseHref = {});

// Where a File source may lie, nearest first: relative to pageFolder (ending in "/"); a
// root-relative name is looked for in pageFolder and then in each folder above it.
std::vector<std::string> candidatePaths(const std::string& pageFolder, const ImageSource& source);

} // namespace bw
