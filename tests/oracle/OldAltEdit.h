#pragma once
// How ALTs were written before the page document: into the tag of a substring entry, kept as
// the oracle for classic pages.
#include <string>
#include <string_view>
#include <vector>

#include "page/PageDocument.h"

namespace bw::oracle {

enum class EmptyBox {
    Remove,   // an empty box removes an old non-empty ALT; ALT="" and no ALT stay as they are
    Decorate, // an empty box writes ALT="", marking the image as decorative
};

// The value is escaped as the program escapes it.
using bw::altValue;

// One replacement in a page: [from, to) of the old text became `length` characters.
struct TextEdit {
    size_t from = 0, to = 0, length = 0;
    // Where a position of the old text stands in the new one.
    size_t map(size_t x) const
    {
        if (x <= from)
            return x;
        if (x >= to)
            return x + length - (to - from);
        return from + length;
    }
};

struct AltEdit {
    std::string page;             // the page with the tag carrying the typed text
    std::vector<TextEdit> edits;  // what changed, in the old page's positions, in order
};

struct EntryAt {
    size_t start = 0, length = 0; // 0-based
};

// Writes an ALT value, as it goes between the quotes, into the tag of each entry.
// buffer: storage to build the new page in (its content is discarded).
AltEdit withAltValue(std::string_view page, const std::vector<EntryAt>& entries, std::string_view value,
                     EmptyBox empty, std::string buffer = {});

// Writes the typed ALT text into the tag of the entry at entryStart (0-based).
inline AltEdit withAlt(std::string_view page, size_t entryStart, size_t entryLength, std::string_view typed,
                       EmptyBox empty, std::string buffer = {})
{
    return withAltValue(page, {{entryStart, entryLength}}, altValue(typed), empty, std::move(buffer));
}

} // namespace bw::oracle
