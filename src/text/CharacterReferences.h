#pragma once
// Character references ("&eacute;", "&#233;", "&#xE9;", "&eacute" in old pages) decoded as a
// browser decodes them, from UTF-8 to UTF-8.
#include <string>
#include <string_view>

namespace bw {

// An attribute value: a name from the old list without its ";" stays as written when "=" or a
// letter or digit follows it ("?a=1&copy=2" is not "?a=1©=2").
std::string decodeAttribute(std::string_view utf8);

// Text between tags: such a name is read wherever it stands ("&copy2024" is "©2024").
std::string decodeText(std::string_view utf8);

// Whether page bytes in that encoding read as they are written, with nothing to convert or
// resolve: UTF-8 without an "&". Most ALTs and link texts do.
bool readsAsWritten(std::string_view bytes, const std::string& encoding);

} // namespace bw
