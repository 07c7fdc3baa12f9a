#include "page/PageDocument.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <cstdint>
#include <cstring>
#include <utility>
#include <sys/stat.h>

#include "page/PageEncoding.h"
#include "text/CharacterReferences.h"
#include "text/Encoding.h"
#include "text/Text.h"

namespace bw {
namespace {

bool isQuote(char c) { return c == '"' || c == '\''; }

// A quick hash of a tag's text, eight bytes at a time.
uint64_t textHash(std::string_view text)
{
    uint64_t hash = text.size() * 0x9E3779B97F4A7C15u;
    for (size_t at = 0; at < text.size(); at += 8) {
        uint64_t word = 0;
        std::memcpy(&word, text.data() + at, std::min<size_t>(8, text.size() - at));
        hash = (hash ^ word) * 0xFF51AFD7ED558CCDu;
        hash ^= hash >> 29;
    }
    return hash;
}

// Asks for a stretch of the page to be brought near ahead of its reading.
void fetch(std::string_view page, ByteRange range)
{
    for (size_t at = range.begin; at < range.end; at += 64)
        __builtin_prefetch(page.data() + at);
    __builtin_prefetch(page.data() + range.end - 1);
}

using Edit = PageEdit;

// The attribute and the white space before it. `SRC="a.gif" ALT="x" width=1` gives
// `SRC="a.gif"width=1` as pages have always had it; a space is kept wherever taking it would
// glue a name onto the element name or onto an unquoted value.
Edit removal(std::string_view page, const TagAttribute& a)
{
    size_t from = a.whole.begin, to = a.whole.end;
    const char next = to < page.size() ? page[to] : '>';
    const bool afterQuote = from > 1 && isQuote(page[from - 2]);
    if (from > 0 && text::isHtmlSpace(page[from - 1]) && (text::isHtmlSpace(next) || next == '>' || next == '/' || afterQuote)) {
        --from;
        if (text::isHtmlSpace(next) && isQuote(page[from - 1]))
            ++to;
    }
    return {from, to, {}};
}

// "alt" in the letter case of the name beside it: SRC gives ALT, src gives alt, Src gives Alt.
std::string altNamedLike(std::string_view name)
{
    auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    std::string alt = "alt";
    if (!name.empty() && upper(name[0]))
        alt[0] = 'A';
    if (name.size() > 1 && upper(name[1])) {
        alt[1] = 'L';
        alt[2] = 'T';
    }
    return alt;
}

void addEdits(std::string_view page, const FoundImage& image, std::string_view value, EmptyBox empty,
              std::vector<Edit>& edits)
{
    const StartTag& tag = image.tag;
    std::vector<const TagAttribute*> alts;
    for (const TagAttribute& a : tag.attributes)
        if (a.named(page, "alt"))
            alts.push_back(&a);

    if (value.empty() && empty != EmptyBox::Decorate) {
        for (const TagAttribute* a : alts)
            if (!a->value.empty() || empty == EmptyBox::Undecorate)
                edits.push_back(removal(page, *a));
        return;
    }
    const std::string quoted = "=\"" + std::string(value) + "\"";
    if (!alts.empty()) {
        // The name stays as written; the value is replaced, written in double quotes.
        edits.push_back({alts[0]->name.end, alts[0]->whole.end, quoted});
        for (size_t k = 1; k < alts.size(); ++k)
            edits.push_back(removal(page, *alts[k]));
        return;
    }
    const TagAttribute* naming = namingAttribute(page, image);
    size_t at = naming ? naming->whole.end : tag.whole.end - 1; // else before the ">"
    // Never after the "/" that closes a tag.
    if (at > tag.whole.begin && page[at - 1] == '/' && page[at] == '>')
        --at;
    const std::string alt = altNamedLike((naming ? naming->name : tag.name).of(page)) + quoted;
    if (text::isHtmlSpace(page[at - 1]))
        edits.push_back({at, at, alt + " "});
    else
        edits.push_back({at, at, " " + alt});
}

void shift(StartTag& tag, std::ptrdiff_t by)
{
    tag.whole = tag.whole.shifted(by);
    tag.name = tag.name.shifted(by);
    for (TagAttribute& a : tag.attributes) {
        a.whole = a.whole.shifted(by);
        a.name = a.name.shifted(by);
        a.value = a.value.shifted(by);
    }
}

} // namespace

const TagAttribute* namingAttribute(std::string_view page, const FoundImage& image)
{
    const std::string_view name = writtenName(page, image);
    if (name.empty())
        return nullptr;
    const size_t at = static_cast<size_t>(name.data() - page.data());
    for (const TagAttribute& a : image.tag.attributes)
        if (a.value.begin <= at && at + name.size() <= a.value.end)
            return &a;
    return nullptr;
}

std::string altValue(std::string_view typed)
{
    std::string out;
    out.reserve(typed.size());
    for (char c : typed) {
        if (c == '&') // always: "&copy team" must not read as "© team"
            out += "&amp;";
        else if (c == '"')
            out += "&quot;";
        else if (c == '<')
            out += "&lt;";
        else
            out += c;
    }
    return out;
}

void PageDocument::findIn(const std::string& page)
{
    found_ = findImages(page);
    const std::vector<FoundImage>& tags = found_.images;
    images_.clear();
    images_.reserve(tags.size());
    // Copies are found through a table of tag texts open at every slot, and kept image by image
    // in one list: a few allocations for a page of any number of tags, where a map and a list
    // per image would make one or two per tag.
    size_t slots = 16;
    while (slots < 2 * tags.size())
        slots *= 2;
    std::vector<size_t> table(slots, SIZE_MAX); // the first tag of each text
    std::vector<size_t> imageOf(tags.size());
    // The finder has read past the tags: without asking for them ahead, each one waits on memory.
    constexpr size_t kAhead = 16;
    for (size_t k = 0; k < std::min(kAhead, tags.size()); ++k)
        fetch(page, tags[k].tag.whole);
    for (size_t k = 0; k < tags.size(); ++k) {
        if (k + kAhead < tags.size())
            fetch(page, tags[k + kAhead].tag.whole);
        const std::string_view whole = tags[k].tag.whole.of(page);
        size_t at = textHash(whole) & (slots - 1);
        while (table[at] != SIZE_MAX && tags[table[at]].tag.whole.of(page) != whole)
            at = (at + 1) & (slots - 1);
        if (table[at] == SIZE_MAX) {
            table[at] = k;
            imageOf[k] = images_.size();
            images_.push_back({tags[k].kind, {}});
        } else {
            imageOf[k] = imageOf[table[at]];
        }
    }
    // Each image's copies in page order, the images one after another.
    std::vector<size_t> end(images_.size() + 1, 0);
    for (size_t k = 0; k < tags.size(); ++k)
        ++end[imageOf[k] + 1];
    for (size_t i = 1; i < end.size(); ++i)
        end[i] += end[i - 1];
    copies_.assign(tags.size(), 0);
    for (size_t k = 0; k < tags.size(); ++k)
        copies_[end[imageOf[k]]++] = k;
    for (size_t i = 0, begin = 0; i < images_.size(); begin = end[i++])
        images_[i].copies = std::span<const size_t>(copies_.data() + begin, end[i] - begin);
}

void PageDocument::open(const std::string& path, ReadResult&& read)
{
    if (isOpen() && leaving)
        leaving();
    path_ = path;
    // A page in UTF-16 is held as UTF-8, which the finder reads, and written back in UTF-16.
    fileEncoding_ = utf16FileEncoding(read.bytes);
    if (std::optional<std::string> utf8 = fileEncoding_.empty() ? std::nullopt : utf16ToUtf8(read.bytes, fileEncoding_ == "UTF-16BE"))
        read.bytes = std::move(*utf8);
    else
        fileEncoding_.clear();
    firstRead_ = text_ = std::make_shared<std::string>(std::move(read.bytes));
    spare_.clear();
    spare_.shrink_to_fit();
    stamp_ = read.stamp;
    disk_ = Disk::Text;
    written_ = false;
    encoding_ = pageEncoding(*text_);
    findIn(*text_);
    notify(Change::Opened);
}

void PageDocument::close()
{
    if (isOpen() && leaving)
        leaving();
    path_.clear();
    fileEncoding_.clear();
    firstRead_ = text_ = std::make_shared<std::string>();
    spare_.clear();
    spare_.shrink_to_fit();
    found_ = {};
    images_.clear();
    copies_.clear();
    written_ = false;
    notify(Change::Closed);
}

ImageSource PageDocument::source(size_t i) const
{
    const std::string_view base = found_.baseHref ? found_.baseHref->of(*text_) : std::string_view();
    return imageSource(writtenName(i), base);
}

std::optional<std::string> altOf(std::string_view page, const StartTag& tag, const std::string& encoding)
{
    std::string scratch;
    const std::optional<std::string_view> alt = altOf(page, tag, encoding, scratch);
    return alt ? std::optional<std::string>(*alt) : std::nullopt;
}

std::optional<std::string_view> altOf(std::string_view page, const StartTag& tag, const std::string& encoding, std::string& scratch)
{
    const TagAttribute* alt = tag.find(page, "alt");
    if (!alt)
        return std::nullopt;
    if (readsAsWritten(alt->value.of(page), encoding))
        return alt->value.of(page);
    scratch = decodeAttribute(fromPageEncoding(alt->value.of(page), encoding));
    return scratch;
}

bool isPageFileName(std::string_view name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || name.find('/', dot) != std::string_view::npos)
        return false;
    const std::string_view extension = name.substr(dot + 1);
    return text::equalsNoCase(extension, "html") || text::equalsNoCase(extension, "htm") ||
           text::equalsNoCase(extension, "shtml") || text::equalsNoCase(extension, "xhtml");
}

FolderPages pagesInFolder(const std::string& folder, const std::atomic<bool>* stop)
{
    namespace fs = std::filesystem;
    FolderPages found;
    std::vector<fs::path> folders{fs::path(folder).lexically_normal()};
    // A folder mounted inside itself loops without any link; each one is walked once.
    std::set<std::pair<dev_t, ino_t>> walked;
    for (bool top = true; !folders.empty() && !(stop && *stop); top = false) {
        const fs::path at = std::move(folders.back());
        folders.pop_back();
        struct stat info {};
        if (::stat(at.c_str(), &info) == 0 && !walked.insert({info.st_dev, info.st_ino}).second)
            continue;
        std::error_code error;
        fs::directory_iterator entries(at, error);
        if (error) {
            if (top) {
                found.error = error.message();
            } else {
                ++found.unreadFolders;
                found.unread.emplace_back(at.string(), error.message());
            }
            continue;
        }
        for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
            std::error_code ignored;
            const fs::directory_entry& entry = *entries;
            if (entry.is_directory(ignored) && !entry.is_symlink(ignored))
                folders.push_back(entry.path());
            else if (entry.is_regular_file(ignored) && isPageFileName(entry.path().filename().string()))
                found.pages.push_back(entry.path().string());
        }
        if (error) {
            ++found.unreadFolders; // read in part
            found.unread.emplace_back(at.string(), error.message());
        }
    }
    std::sort(found.pages.begin(), found.pages.end());
    return found;
}

std::optional<std::string> PageDocument::altShown(size_t i) const
{
    if (i >= images_.size())
        return std::nullopt;
    return altOf(*text_, tagOf(i).tag, encoding_);
}

bool PageDocument::mayOverwrite()
{
    const FileStamp now = files_.stamp(path_);
    if (now.sameLook(stamp_) && !stamp_.racy)
        return true;
    // The look changed, or cannot tell: the bytes decide, so that a mere touch asks nothing.
    if (now.exists) {
        ReadResult read = files_.readFile(path_, std::move(spare_));
        const std::string_view onDisk = read.bytes;
        const std::string& held = disk_ == Disk::Text ? *text_ : *firstRead_;
        const bool same = fileEncoding_.empty() ? onDisk == held : onDisk == pageFileBytes(held, fileEncoding_);
        spare_ = std::move(read.bytes);
        if (read.ok && same) {
            stamp_ = read.stamp;
            return true;
        }
    }
    return confirmOverwrite && confirmOverwrite(path_);
}

PageDocument::Outcome PageDocument::writeFile(std::string_view bytes, std::string_view suffix)
{
    WriteResult w = fileEncoding_.empty() ? files_.writeFile(path_, bytes, suffix)
                                          : files_.writeFile(path_, pageFileBytes(bytes, fileEncoding_), suffix);
    if (!w.ok)
        return {Outcome::Failed, w.error};
    stamp_ = w.stamp;
    written_ = true;
    return {Outcome::Written, {}};
}

PageDocument::Outcome PageDocument::writeAlt(size_t i, std::string_view typed, EmptyBox empty)
{
    if (!isOpen() || i >= images_.size() || images_[i].kind == ImageKind::Background)
        return {};
    // An ALT the box shows as it stands is left byte for byte as it is.
    if (const auto shown = altShown(i); shown && *shown == typed && !(typed.empty() && empty == EmptyBox::Undecorate))
        return {Outcome::Unchanged, {}};
    const std::string value = toPageEncoding(altValue(withoutControls(typed)), encoding_);
    std::vector<Edit> edits;
    for (size_t k : images_[i].copies)
        addEdits(*text_, found_.images[k], value, empty, edits);
    if (edits.empty())
        return {Outcome::Unchanged, {}};
    std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.from < b.from; });
    return applyEdits(edits, static_cast<int>(i));
}

Patch Patch::inverse() const
{
    Patch back;
    std::ptrdiff_t by = 0;
    for (const Piece& piece : pieces) {
        back.pieces.push_back({static_cast<size_t>(static_cast<std::ptrdiff_t>(piece.at) + by), piece.inserted, piece.removed});
        by += static_cast<std::ptrdiff_t>(piece.inserted.size()) - static_cast<std::ptrdiff_t>(piece.removed.size());
    }
    return back;
}

PageDocument::Outcome PageDocument::apply(const Patch& patch, int image)
{
    if (!isOpen())
        return {};
    std::vector<Edit> edits;
    size_t after = 0;
    for (const Patch::Piece& piece : patch.pieces) {
        if (piece.at < after || piece.at + piece.removed.size() > text_->size() ||
            text_->compare(piece.at, piece.removed.size(), piece.removed) != 0)
            return {Outcome::Failed, "it does not hold what this step changed"};
        after = piece.at + piece.removed.size();
        edits.push_back({piece.at, after, piece.inserted});
    }
    if (edits.empty())
        return {Outcome::Unchanged, {}};
    return applyEdits(edits, image);
}

PageDocument::Outcome PageDocument::applyEdits(const std::vector<PageEdit>& edits, int image)
{
    if (!mayOverwrite())
        return {Outcome::Declined, {}};
    Patch patch;
    const std::string& text = *text_;
    std::string& page = spare_;
    page.clear();
    size_t added = 0;
    for (const Edit& e : edits)
        added += e.with.size();
    page.reserve(text.size() + added);
    // Where each edit starts in the new page and how far it moves what follows it.
    std::vector<std::pair<size_t, std::ptrdiff_t>> moved;
    size_t at = 0;
    std::ptrdiff_t by = 0;
    for (const Edit& e : edits) {
        if (e.to < at)
            continue;
        const size_t from = std::max(e.from, at); // neighbouring removals may share a space
        if (from < e.to || !e.with.empty())
            patch.pieces.push_back({from, text.substr(from, e.to - from), e.with});
        page.append(text, at, from - at);
        page += e.with;
        by += static_cast<std::ptrdiff_t>(e.with.size()) - static_cast<std::ptrdiff_t>(e.to - from);
        moved.emplace_back(e.to, by);
        at = e.to;
    }
    page.append(text, at);
    Outcome outcome = writeFile(page);
    if (outcome.kind != Outcome::Written)
        return outcome;
    // The page given up becomes the next spare, unless the first read or a reader holds it.
    const std::shared_ptr<std::string> old = std::exchange(text_, std::make_shared<std::string>(std::move(page)));
    if (old.use_count() == 1)
        spare_ = std::move(*old);
    disk_ = Disk::Text;

    // Tags after an edit move by what it added; a tag holding one is read again.
    auto upTo = [&](size_t x) { // the edits ending at or before x
        return std::upper_bound(moved.begin(), moved.end(), x, [](size_t v, const auto& m) { return v < m.first; });
    };
    auto shiftAt = [&](auto it) { return it == moved.begin() ? std::ptrdiff_t(0) : std::prev(it)->second; };
    for (FoundImage& image : found_.images) {
        const ByteRange old = image.tag.whole;
        const auto before = upTo(old.begin), inside = upTo(old.end - 1);
        if (inside == before) {
            shift(image.tag, shiftAt(before));
            continue;
        }
        if (std::optional<StartTag> again = startTagAt(*text_, old.begin + shiftAt(before)))
            image.tag = std::move(*again);
    }
    // A <base> after an edited image moves too (it is never edited itself).
    if (found_.baseHref)
        found_.baseHref = found_.baseHref->shifted(shiftAt(upTo(found_.baseHref->begin)));
    lastPatch_ = std::move(patch);
    notify(Change::Written, image);
    return outcome;
}

PageDocument::Outcome PageDocument::putBack()
{
    // Nothing written since the page was opened: nothing to put back (and a read-only page
    // can still be closed).
    if (!written_)
        return {};
    if (!mayOverwrite())
        return {Outcome::Declined, {}};
    Outcome outcome = writeFile(*firstRead_);
    if (outcome.kind != Outcome::Written)
        return outcome;
    disk_ = Disk::FirstRead;
    notify(Change::PutBack);
    return outcome;
}

bool PageDocument::holdsEdits() const { return written_ && disk_ == Disk::Text && *text_ != *firstRead_; }

bool PageDocument::isPageFile(const std::string& path) { return path == path_ || files_.sameFile(path, path_); }

PageDocument::Outcome PageDocument::saveAs(const std::string& path)
{
    if (!isPageFile(path)) {
        WriteResult w = fileEncoding_.empty() ? files_.writeFile(path, *text_) : files_.writeFile(path, pageFileBytes(*text_, fileEncoding_));
        return w.ok ? Outcome{Outcome::Written, {}} : Outcome{Outcome::Failed, w.error};
    }
    if (!mayOverwrite())
        return {Outcome::Declined, {}};
    // Saved over itself: what was saved is what the page is put back to from now on.
    Outcome outcome = writeFile(*text_);
    if (outcome.kind != Outcome::Written)
        return outcome;
    firstRead_ = text_;
    disk_ = Disk::Text;
    notify(Change::Written);
    return outcome;
}

} // namespace bw
