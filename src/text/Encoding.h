#pragma once
// A page's character encoding, and the ALT box's UTF-8 text to and from it.
#include <cstdint>
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

// What the box may write: line breaks and tabs become one space, other control characters
// (C0, DEL, C1) go; they would break the page, some of them for this very program.
std::string withoutControls(std::string_view utf8);

// A code point appended as UTF-8.
void appendUtf8(std::string& out, uint32_t codePoint);

} // namespace bw
