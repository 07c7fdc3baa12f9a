#pragma once
// Comparing an ALT with the text read from its picture: by words, letter case, punctuation
// and spacing aside, as a listener hears them.
#include <string>
#include <string_view>

namespace bw {

// Lowercase ASCII letters and digits, each run of anything else one space, ends trimmed;
// bytes beyond ASCII (letters of other scripts) kept as they are.
std::string foldedWords(std::string_view text);

// Whether the ALT says every word the picture shows (in any order, among other words).
bool altHoldsPictureText(std::string_view alt, std::string_view pictureText);

} // namespace bw
