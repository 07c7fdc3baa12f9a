#pragma once
// A page's character encoding, and the ALT box's UTF-8 text to and from it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bw {

// True when iconv can convert from and to the encoding of that name.
bool knownEncoding(const std::string& name);

bool validUtf8(std::string_view text);

// Typed text for the page: characters the encoding cannot hold become "&#N;".
std::string toPageEncoding(std::string_view utf8, const std::string& encoding);

// Page bytes for the box; bytes that do not decode are taken as Latin-1.
std::string fromPageEncoding(std::string_view bytes, const std::string& encoding);
// The same without a copy where the bytes are UTF-8 already; else made in `scratch`.
std::string_view fromPageEncoding(std::string_view bytes, const std::string& encoding, std::string& scratch);

// What the box may write: line breaks and tabs become one space, other control characters
// (C0, DEL, C1) go; they would break the page, some of them for this very program.
std::string withoutControls(std::string_view utf8);

// UTF-16 bytes in that byte order as UTF-8; nullopt for an odd byte or a lone surrogate, which
// would not come back the same.
std::optional<std::string> utf16ToUtf8(std::string_view bytes, bool bigEndian);
// UTF-8 as UTF-16 bytes in that byte order; a byte that is not UTF-8 becomes U+FFFD.
std::string utf8ToUtf16(std::string_view utf8, bool bigEndian);

// A code point appended as UTF-8.
void appendUtf8(std::string& out, uint32_t codePoint);

} // namespace bw
