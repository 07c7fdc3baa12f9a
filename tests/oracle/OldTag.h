#pragma once
// Reads the attributes of the tag that an image tag entry belongs to.
#include <string>
#include <string_view>
#include <vector>

namespace bw::oracle {

struct TagAttribute {
    size_t nameStart = 0;  // 0-based offsets into the page text
    size_t nameEnd = 0;
    bool hasValue = false; // written with "="
    char quote = 0;        // '"', '\'' or 0 for an unquoted value
    size_t valueStart = 0; // the value itself, without quotes
    size_t valueEnd = 0;
    size_t end = 0;        // one past the attribute's last character (closing quote included)
    bool named(std::string_view text, std::string_view name) const;
};

inline bool isTagSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

struct TagSpan {
    size_t start = 0; // the "<"
    size_t end = 0;   // the closing ">", or the text's length when the tag never closes
    bool holdsEntry = true; // false when the entry's file name lies in text, outside any tag
    std::vector<TagAttribute> attributes;
    const TagAttribute* find(std::string_view text, std::string_view name) const;
};

// Lexes the tag whose "<" stands at lt.
TagSpan lexTag(std::string_view text, size_t lt);

// The tag that holds the file extension at the end of the entry found at entryStart with
// entryLength characters: an entry may begin inside its tag (a background attribute) or
// span earlier tags, and its file name may even stand in plain text.
TagSpan tagOfEntry(std::string_view text, size_t entryStart, size_t entryLength);

} // namespace bw::oracle
