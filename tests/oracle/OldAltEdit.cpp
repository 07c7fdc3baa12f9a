#include "oracle/OldAltEdit.h"

#include <algorithm>
#include <vector>

#include "oracle/OldTag.h"

namespace bw::oracle {
namespace {

bool isQuote(char c) { return c == '"' || c == '\''; }

struct Edit {
    size_t from, to;
    std::string with;
};

// The attribute with the white space before it, and one white-space character after it
// where that glues nothing together: `SRC="a.gif" ALT="x" width=1` gives `SRC="a.gif"width=1`,
// `<img ALT="x" SRC=...` keeps its space after "<img".
Edit removal(std::string_view page, const TagSpan& tag, const TagAttribute& a)
{
    size_t from = a.nameStart, to = a.end;
    if (from > tag.start + 1 && isTagSpace(page[from - 1]))
        --from;
    if (to < page.size() && isTagSpace(page[to]) && from > 0 && isQuote(page[from - 1]))
        ++to;
    return {from, to, {}};
}

} // namespace

namespace {

// The edits that put the value into the entry's tag, in page order.
void addEdits(std::string_view page, EntryAt entry, std::string_view value, EmptyBox empty, std::vector<Edit>& edits)
{
    const TagSpan tag = tagOfEntry(page, entry.start, entry.length);
    if (!tag.holdsEntry)
        return; // no tag to write into
    std::vector<const TagAttribute*> alts;
    for (const auto& a : tag.attributes)
        if (a.named(page, "alt"))
            alts.push_back(&a);
    const TagAttribute* src = tag.find(page, "src");

    const bool write = !value.empty() || empty == EmptyBox::Decorate;
    if (write) {
        std::string attribute = "ALT=\"" + std::string(value) + "\"";
        if (alts.empty()) {
            // Right after the SRC value, else after whatever attribute holds the file name,
            // always inside the tag and never inside a value.
            const TagAttribute* holder = src;
            const size_t extension = entry.start + entry.length - 2;
            for (size_t i = 0; !holder && i < tag.attributes.size(); ++i)
                if (tag.attributes[i].nameStart <= extension && extension < tag.attributes[i].end)
                    holder = &tag.attributes[i];
            const size_t at = holder ? holder->end : tag.end;
            edits.push_back({at, at, " " + attribute});
        } else {
            edits.push_back({alts[0]->nameStart, alts[0]->end, attribute});
            for (size_t i = 1; i < alts.size(); ++i)
                edits.push_back(removal(page, tag, *alts[i]));
        }
    } else {
        for (const TagAttribute* a : alts)
            if (a->valueEnd > a->valueStart)
                edits.push_back(removal(page, tag, *a));
    }
}

} // namespace

AltEdit withAltValue(std::string_view page, const std::vector<EntryAt>& entries, std::string_view value,
                     EmptyBox empty, std::string buffer)
{
    std::vector<Edit> edits;
    for (const EntryAt& entry : entries)
        addEdits(page, entry, value, empty, edits);
    std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.from < b.from; });

    AltEdit result;
    result.page = std::move(buffer);
    result.page.clear();
    result.page.reserve(page.size() + (value.size() + 8) * entries.size());
    size_t at = 0;
    for (const Edit& e : edits) {
        if (e.to < at)
            continue;
        const size_t from = std::max(e.from, at); // neighbouring removals may share a space
        result.page.append(page.substr(at, from - at));
        result.page += e.with;
        result.edits.push_back({from, e.to, e.with.size()});
        at = e.to;
    }
    result.page.append(page.substr(at));
    return result;
}

} // namespace bw::oracle
