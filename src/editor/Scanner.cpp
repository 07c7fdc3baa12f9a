#include "editor/Scanner.h"

#include "editor/Text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>

namespace bw {

// Both ways of scanning, reachable from the tests and the benchmark, which declare them themselves.
namespace detail {
std::optional<ScanResult> indexedScan(std::string_view page, ScanVariant variant, std::size_t workLimit);
ScanResult plainScan(std::string_view page, ScanVariant variant);
std::size_t defaultWorkLimit(std::size_t pageSize);
} // namespace detail

namespace {

constexpr std::size_t npos = std::string_view::npos;

using text::lowerAscii;

void lowerInPlace(std::string& text)
{
    for (char& c : text)
        c = lowerAscii(c);
}

// Position of the first `what` at or after `from`. glibc's memmem skips ahead far better than
// std::string::find, which stops at every '<' of an HTML page.
std::size_t find(std::string_view text, std::string_view what, std::size_t from = 0)
{
    if (from > text.size())
        return npos;
    const void* at = ::memmem(text.data() + from, text.size() - from, what.data(), what.size());
    return at ? std::size_t(static_cast<const char*>(at) - text.data()) : npos;
}

// The first `what` without regard to case. `what` must hold a byte that is no letter: memchr finds
// that byte, then the rest is compared.
std::size_t findFolded(std::string_view text, std::string_view what)
{
    const std::size_t anchor =
        what.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    for (std::size_t i = anchor; i < text.size(); ++i) {
        const void* hit = std::memchr(text.data() + i, what[anchor], text.size() - i);
        if (!hit)
            break;
        i = std::size_t(static_cast<const char*>(hit) - text.data());
        const std::size_t start = i - anchor;
        if (start + what.size() <= text.size()
            && std::equal(what.begin(), what.end(), text.begin() + start,
                          [](char w, char t) { return lowerAscii(w) == lowerAscii(t); }))
            return start;
    }
    return npos;
}

// Moves text[from, end) down to `to` (to <= from).
std::size_t moveDown(std::string& text, std::size_t from, std::size_t end, std::size_t to)
{
    std::memmove(text.data() + to, text.data() + from, end - from);
    return to + (end - from);
}

// Replaces every occurrence of `what` (never empty, never a view into `text`) with one space:
// left to right, never overlapping, the spaces put in not searched again. Works in place, as
// the text only shrinks; pages can be megabytes.
void blankAll(std::string& text, std::string_view what)
{
    std::size_t at = find(text, what);
    std::size_t out = at;
    while (at != npos) {
        text[out++] = ' ';
        const std::size_t from = at + what.size();
        at = find(text, what, from);
        const std::size_t end = at == npos ? text.size() : at;
        out = moveDown(text, from, end, out);
    }
    if (out != npos)
        text.resize(out);
}

void trimSpaces(std::string& text)
{
    text.erase(text.find_last_not_of(' ') + 1);
    text.erase(0, text.find_first_not_of(' '));
}

std::size_t firstExtension(std::string_view text)
{
    return std::min(find(text, ".gif"), find(text, ".jpg"));
}

// The first entry is the odd one: it may be a background attribute, and the main window finds it
// without regard to case but lower-cases its text only afterwards. From then on both variants are
// exact searches in `work` for `nextTag` and the lower-case extensions.
struct FirstEntry {
    ScanResult result;
    std::string work;
    std::string_view nextTag;
    bool found = false; // false: the scan is over and result.remainder is final
};

FirstEntry scanFirstEntry(std::string_view page, ScanVariant variant)
{
    const bool mainWindow = variant == ScanVariant::Main;
    FirstEntry first;
    first.nextTag = mainWindow ? "<img" : "<img SRC";
    std::string text(page);
    blankAll(text, "<!--");
    blankAll(text, "-->");

    const auto search = [&](std::string_view what) {
        return mainWindow ? findFolded(text, what) : find(text, what);
    };
    std::size_t tag = search("ckground=");
    first.result.background = tag != npos;
    if (tag == npos)
        tag = search("<img SRC=");
    const std::size_t ext = std::min(search(".gif"), search(".jpg"));
    if (tag == npos || ext == npos || ext <= tag) {
        trimSpaces(text);
        first.result.remainder = std::move(text);
        return first;
    }
    std::string entry = text.substr(tag, ext - tag + 5);
    if (mainWindow) {
        // Replacing without regard to case and then lower-casing is replacing in the lower-cased text.
        lowerInPlace(text);
        std::string lowered = entry;
        lowerInPlace(lowered);
        blankAll(text, lowered);
    } else {
        blankAll(text, entry);
    }
    first.work = std::move(text);
    first.result.entries.push_back(std::move(entry));
    first.found = true;
    return first;
}

// The rest of the loop, done as written: each entry costs a pass over the whole text.
std::string plainLoop(std::string work, std::string_view nextTag, std::vector<std::string>& entries)
{
    for (;;) {
        const std::size_t tag = find(work, nextTag);
        const std::size_t ext = firstExtension(work);
        if (tag == npos || ext == npos || ext <= tag)
            break;
        std::string entry = work.substr(tag, ext - tag + 5);
        blankAll(work, entry);
        entries.push_back(std::move(entry));
    }
    trimSpaces(work);
    return work;
}

// The rest of the loop without whole-text passes.
//
// The working text is kept as the text the loop started from, in which a replaced occurrence keeps
// its first byte (now a space) and the rest of it becomes a hole. Replacing only ever puts in one
// space, so extensions and space-free tag openings are never created, only destroyed; a tag opening
// with a space in it ("<img SRC") can appear across a new space and is looked for there.
//
// An occurrence of an entry starts at a tag opening and, as the entry holds one extension, ends one
// byte after the first extension that follows that opening. So every live opening gets a key: its
// text up to that point. The openings whose key equals the entry are the occurrences, found through
// a hash of the keys. Replacing an occurrence changes only the keys that run into it, which belong
// to the openings just before it. A work limit guards against pages that make keys long and
// recomputed often; the caller then scans plainly.
class IndexedLoop {
public:
    IndexedLoop(std::string work, std::string_view tagOpening, std::size_t workLimit)
        : text_(std::move(work)), opening_(tagOpening), limit_(workLimit)
    {
    }

    // False when the work limit was reached.
    bool run(std::vector<std::string>& entries)
    {
        for (std::size_t at = find(text_, opening_); at != npos; at = find(text_, opening_, at + 1))
            openings_.emplace_hint(openings_.end(), at, Key{});
        for (std::string_view ext : {".gif", ".jpg"})
            for (std::size_t at = find(text_, ext); at != npos; at = find(text_, ext, at + 1))
                extensions_.insert(at);
        for (auto& [at, key] : openings_) {
            updateKey(at, key);
            if (work_ > limit_)
                return false;
        }
        while (!openings_.empty() && !extensions_.empty()
               && *extensions_.begin() > openings_.begin()->first) {
            const auto [tag, key] = *openings_.begin();
            std::string entry = liveBytes(tag, key.last);
            replaceAll(entry, key.hash);
            entries.push_back(std::move(entry));
            // The entry's own opening always goes; if it did not, stop rather than loop for ever.
            if (work_ > limit_ || openings_.contains(tag))
                return false;
        }
        return true;
    }

    // The working text, once the loop is done.
    std::string takeText()
    {
        std::size_t out = 0;
        std::size_t from = 0;
        for (const auto& [holeStart, holeEnd] : holes_) {
            out = moveDown(text_, from, holeStart, out);
            from = holeEnd;
        }
        text_.resize(moveDown(text_, from, text_.size(), out));
        holes_.clear();
        return std::move(text_);
    }

private:
    struct Key {
        std::uint64_t hash = 0;
        std::size_t length = 0;   // 0: no extension follows, so no entry can start here
        std::size_t last = npos;  // index of the key's last byte
    };

    // Calls f(i) for the live bytes from i on, while f returns true.
    template <class F>
    void forEachLive(std::size_t i, F&& f) const
    {
        auto hole = holes_.upper_bound(i);
        if (hole != holes_.begin() && std::prev(hole)->second > i)
            i = std::prev(hole)->second;
        while (i < text_.size()) {
            const std::size_t runEnd = hole == holes_.end() ? text_.size() : hole->first;
            for (; i < runEnd; ++i)
                if (!f(i))
                    return;
            if (hole == holes_.end())
                return;
            i = hole->second;
            ++hole;
        }
    }

    bool isLive(std::size_t i) const
    {
        auto hole = holes_.upper_bound(i);
        return hole == holes_.begin() || std::prev(hole)->second <= i;
    }

    std::string liveBytes(std::size_t from, std::size_t last) const
    {
        std::string out;
        forEachLive(from, [&](std::size_t i) {
            out += text_[i];
            return i < last;
        });
        return out;
    }

    bool liveBytesEqual(std::size_t from, std::string_view what)
    {
        std::size_t matched = 0;
        forEachLive(from, [&](std::size_t i) {
            if (text_[i] != what[matched])
                return false;
            return ++matched < what.size();
        });
        work_ += matched;
        return matched == what.size();
    }

    void updateKey(std::size_t at, Key& key)
    {
        Key fresh;
        if (auto ext = extensions_.lower_bound(at); ext != extensions_.end()) {
            const std::size_t extLast = *ext + 3;
            fresh.hash = 0xcbf29ce484222325u; // FNV-1a
            forEachLive(at, [&](std::size_t i) {
                fresh.hash = (fresh.hash ^ std::uint8_t(text_[i])) * 0x100000001b3u;
                ++fresh.length;
                fresh.last = i;
                return i <= extLast; // the byte after the extension belongs to the key too
            });
            work_ += fresh.length;
        }
        const bool moved = fresh.hash != key.hash || fresh.length != key.length;
        key = fresh;
        if (moved && key.length > 0)
            byHash_[key.hash].push_back(at);
    }

    void addHole(std::size_t from, std::size_t to)
    {
        auto next = holes_.lower_bound(from);
        if (next != holes_.begin() && std::prev(next)->second >= from) {
            --next;
            from = next->first;
            to = std::max(to, next->second);
        }
        while (next != holes_.end() && next->first <= to) {
            to = std::max(to, next->second);
            next = holes_.erase(next);
        }
        holes_.emplace(from, to);
    }

    // An opening whose space is the new space at `space`.
    std::optional<std::size_t> openingAcross(std::size_t space) const
    {
        const std::size_t gap = opening_.find(' ');
        if (gap == npos || space < gap)
            return std::nullopt;
        const std::size_t start = space - gap;
        for (std::size_t k = 0; k < gap; ++k)
            if (!isLive(start + k) || text_[start + k] != opening_[k])
                return std::nullopt;
        const std::string_view after = opening_.substr(gap + 1);
        std::size_t matched = 0;
        if (!after.empty())
            forEachLive(space + 1, [&](std::size_t i) {
                if (text_[i] != after[matched])
                    return false;
                return ++matched < after.size();
            });
        return matched == after.size() ? std::optional(start) : std::nullopt;
    }

    void replaceAll(const std::string& entry, std::uint64_t hash)
    {
        std::vector<std::size_t>& sameHash = byHash_[hash];
        std::sort(sameHash.begin(), sameHash.end());
        sameHash.erase(std::unique(sameHash.begin(), sameHash.end()), sameHash.end());

        std::vector<std::size_t> spaces;
        std::vector<std::size_t> stale;
        for (std::size_t at : sameHash) {
            // An occurrence overlapping the previous one was removed with it.
            auto it = openings_.find(at);
            if (it == openings_.end() || it->second.hash != hash || it->second.length != entry.size()
                || !liveBytesEqual(at, entry))
                continue;
            const std::size_t last = it->second.last;
            // Keys are sorted by their end like the openings, so those reaching in are adjacent.
            for (auto left = it; left != openings_.begin() && std::prev(left)->second.last >= at; --left)
                stale.push_back(std::prev(left)->first);
            text_[at] = ' ';
            addHole(at + 1, last + 1);
            openings_.erase(it, openings_.upper_bound(last));
            extensions_.erase(extensions_.lower_bound(at), extensions_.upper_bound(last));
            spaces.push_back(at);
        }
        std::erase_if(sameHash, [&](std::size_t at) {
            auto it = openings_.find(at);
            return it == openings_.end() || it->second.hash != hash;
        });

        for (std::size_t space : spaces)
            if (auto at = openingAcross(space)) {
                openings_.emplace(*at, Key{});
                stale.push_back(*at);
            }
        for (std::size_t at : stale) {
            if (auto it = openings_.find(at); it != openings_.end())
                updateKey(at, it->second);
            if (work_ > limit_)
                return;
        }
    }

    std::string text_;
    std::string_view opening_;
    std::map<std::size_t, std::size_t> holes_;  // dead byte ranges [first, second), never adjacent
    std::map<std::size_t, Key> openings_;       // live tag openings
    std::set<std::size_t> extensions_;          // live ".gif" and ".jpg"
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> byHash_; // may hold stale openings
    std::size_t work_ = 0;
    std::size_t limit_;
};

} // namespace

namespace detail {

std::size_t defaultWorkLimit(std::size_t pageSize)
{
    // Plain pages need about two bytes of work per byte: hashing each key once, comparing each
    // occurrence once.
    return 4 * pageSize + 256;
}

std::optional<ScanResult> indexedScan(std::string_view page, ScanVariant variant, std::size_t workLimit)
{
    FirstEntry first = scanFirstEntry(page, variant);
    if (!first.found)
        return std::move(first.result);
    IndexedLoop loop(std::move(first.work), first.nextTag, workLimit);
    if (!loop.run(first.result.entries))
        return std::nullopt;
    first.result.remainder = loop.takeText();
    trimSpaces(first.result.remainder);
    return std::move(first.result);
}

ScanResult plainScan(std::string_view page, ScanVariant variant)
{
    FirstEntry first = scanFirstEntry(page, variant);
    if (first.found)
        first.result.remainder = plainLoop(std::move(first.work), first.nextTag, first.result.entries);
    return std::move(first.result);
}

} // namespace detail

ScanResult scanImageTags(std::string_view page, ScanVariant variant)
{
    if (auto result = detail::indexedScan(page, variant, detail::defaultWorkLimit(page.size())))
        return std::move(*result);
    return detail::plainScan(page, variant);
}

} // namespace bw
