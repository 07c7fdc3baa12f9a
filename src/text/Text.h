#pragma once
// Text operations on page bytes with 1-based positions, 0 meaning "not found".
// "No case" folds ASCII letters only, so UTF-8 text is never altered.
#include <string>
#include <string_view>

namespace bw::text {

inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// White space as HTML knows it between attributes.
inline bool isHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

bool equalsNoCase(std::string_view a, std::string_view b);

// Where the byte c first stands at or after `from` (0-based), or npos: for bytes that stand a
// few dozen bytes apart, as "<" in a page, it costs less than memchr.
size_t findByte(std::string_view s, size_t from, char c);

// First position of needle at or after start (1-based), or 0.
size_t inStr(std::string_view hay, std::string_view needle, size_t start = 1);
size_t inStrNoCase(std::string_view hay, std::string_view needle, size_t start = 1);

// Substring from 1-based start; a start past the end gives "", a negative length gives "".
std::string mid(std::string_view s, long long start, long long length);
std::string mid(std::string_view s, long long start);

std::string number(long long n);

} // namespace bw::text
