#pragma once
// The character encoding a page is read and written in.
#include <optional>
#include <string>
#include <string_view>

namespace bw {

// The encoding a browser would read the page in: a byte-order mark, else the page's own
// <meta charset> or http-equiv Content-Type, else UTF-8 when every byte fits it, else
// Windows-1252, the code page such pages were written in. A name iconv knows.
std::string pageEncoding(std::string_view page);

// "UTF-16LE" or "UTF-16BE" for a page file in UTF-16 with a byte-order mark, else "".
std::string utf16FileEncoding(std::string_view bytes);

// The page as the finder reads it: its bytes as they are, or for a file in UTF-16 with a
// byte-order mark its text in UTF-8 (the mark kept, as U+FEFF, so that it goes back the
// same). nullopt when the bytes are no page: a NUL outside UTF-16, or UTF-16 that does not
// decode.
std::optional<std::string> pageText(std::string&& bytes);
// The same test without the text.
bool isPageText(std::string_view bytes);

// The page's text as the bytes of its file: UTF-16 again for a file in UTF-16.
std::string pageFileBytes(std::string_view text, const std::string& fileEncoding);

} // namespace bw
