#pragma once
// Writing an ALT text into the tag of an image tag entry, touching nothing else.
#include <string>
#include <string_view>

namespace bw {

enum class EmptyBox {
    Remove,   // an empty box removes an old non-empty ALT; ALT="" and no ALT stay as they are
    Decorate, // an empty box writes ALT="", marking the image as decorative
};

// The value as it goes between double quotes: a quote (and "<", so that no typed text can
// pose as an image tag later) as character references, all else as typed.
std::string altValue(std::string_view typed);

struct AltEdit {
    std::string page;   // the page with the tag carrying the typed text
    size_t entryLength; // the entry's length now: an ALT written before the SRC lies inside it
};

// Writes the typed ALT text into the tag of the entry at entryStart (0-based).
AltEdit withAlt(std::string_view page, size_t entryStart, size_t entryLength, std::string_view typed,
                EmptyBox empty);

} // namespace bw
