#pragma once
// The character encoding a page is read and written in.
#include <string>
#include <string_view>

namespace bw {

// The encoding a browser would read the page in: a byte-order mark, else the page's own
// <meta charset> or http-equiv Content-Type, else UTF-8 when every byte fits it, else
// Windows-1252, the code page such pages were written in. A name iconv knows.
std::string pageEncoding(std::string_view page);

} // namespace bw
