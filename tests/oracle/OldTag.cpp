#include "oracle/OldTag.h"

#include "editor/Text.h"

namespace bw::oracle {
bool TagAttribute::named(std::string_view text, std::string_view name) const
{
    return text::equalsNoCase(text.substr(nameStart, nameEnd - nameStart), name);
}

const TagAttribute* TagSpan::find(std::string_view text, std::string_view name) const
{
    for (const auto& a : attributes)
        if (a.named(text, name))
            return &a;
    return nullptr;
}

TagSpan lexTag(std::string_view text, size_t lt)
{
    TagSpan tag;
    tag.start = lt;
    const size_t n = text.size();
    size_t i = lt + 1;
    while (i < n && !isTagSpace(text[i]) && text[i] != '>')
        ++i; // element name
    for (;;) {
        while (i < n && (isTagSpace(text[i]) || text[i] == '/'))
            ++i;
        if (i >= n || text[i] == '>')
            break;
        TagAttribute a;
        a.nameStart = i;
        while (i < n && !isTagSpace(text[i]) && text[i] != '=' && text[i] != '>')
            ++i;
        a.nameEnd = i;
        size_t j = i;
        while (j < n && isTagSpace(text[j]))
            ++j;
        if (j < n && text[j] == '=') {
            a.hasValue = true;
            j++;
            while (j < n && isTagSpace(text[j]))
                ++j;
            if (j < n && (text[j] == '"' || text[j] == '\'')) {
                a.quote = text[j];
                a.valueStart = j + 1;
                size_t close = text.find(a.quote, a.valueStart);
                a.valueEnd = close == std::string_view::npos ? n : close;
                i = close == std::string_view::npos ? n : close + 1;
            } else {
                a.valueStart = j;
                while (j < n && !isTagSpace(text[j]) && text[j] != '>')
                    ++j;
                a.valueEnd = j;
                i = j;
            }
        }
        a.end = i;
        tag.attributes.push_back(a);
    }
    tag.end = i < n ? i : n;
    return tag;
}

TagSpan tagOfEntry(std::string_view text, size_t entryStart, size_t entryLength)
{
    size_t start = entryStart;
    if (start >= text.size() || text[start] != '<') {
        size_t lt = start == 0 ? std::string_view::npos : text.rfind('<', start - 1);
        if (lt != std::string_view::npos)
            start = lt;
    }
    // The extension's last letter: the character after it may already be outside the tag.
    const size_t end = entryStart + entryLength;
    const size_t extension = end >= entryStart + 2 ? end - 2 : entryStart;
    for (;;) {
        TagSpan tag = lexTag(text, start);
        size_t next = tag.end < text.size() ? text.find('<', tag.end) : std::string_view::npos;
        if (tag.end >= extension || next == std::string_view::npos || next > extension) {
            tag.holdsEntry = tag.start <= extension && extension < tag.end;
            return tag;
        }
        start = next;
    }
}

} // namespace bw::oracle
