#include "page/ImageContext.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <memory_resource>

#include "text/CharacterReferences.h"
#include "text/Encoding.h"
#include "text/Text.h"
#include "page/ImageName.h"
#include "page/PageDocument.h"

namespace bw {
namespace {

constexpr size_t kAround = 100;        // characters of text on each side of an image
constexpr size_t kSlack = 20;          // how far a cut may move to fall between words
constexpr size_t kMostLinkBytes = 4096; // of a link's or caption's text: an unclosed <a> may run to the end
constexpr size_t kMostDepth = 1024;    // open elements followed, as browsers bound a tree's depth
constexpr size_t kMostPlaced = 8192;   // images met and kept, reading for an ImageReader, before those told are forgotten
constexpr size_t kWindow = 8 * kAround; // bytes of shown text cut on each side, for kAround characters
constexpr char kRunEnd = '\x01';        // between runs of text: a control character, which is never shown

// What the tree builder does with an element, as far as links, figures and text go.
enum Flag : uint32_t {
    kStructural = 1,    // kept on the stack of open elements, ended only by the rules below
    kBreak = 2,         // its start and end break the text, as a block does
    kClosesP = 4,       // its start tag ends an open <p>
    kMarker = 8,        // a link left open outside it is not carried into it
    kScope = 16,        // an end tag looks no further down for its element
    kTableScope = 32,   // a table part's end tag looks no further down
    kHidden = 64,       // its text is not shown
    kVoid = 128,        // has no content here: void, raw text, or svg and math, whose end tags are not told
    kTablePart = 256,   // ignored outside a table
    kReopensLink = 512, // a link its start tag meets closed around it opens again
    kLiPasses = 1024,   // a new <li> looks past it for an open one
};
constexpr uint32_t kBlock = kStructural | kBreak | kClosesP;

// Table to Caption in the order the parts of a table nest.
enum class Kind : uint8_t { Other, A, P, Li, DdDt, Heading, Figure, Figcaption, Table, Section, Row, Cell, Caption, Button, List, Form, Template, Ignored };

struct Type {
    std::string_view name; // lower case
    Kind kind;
    uint32_t flags;
};

// Sorted by name. Names not here are inline elements: they start no block, and end tags end them
// only up to the first structural one.
constexpr Type kTypes[] = {
    {"a", Kind::A, kReopensLink},
    {"address", Kind::Other, kBlock | kLiPasses},
    {"applet", Kind::Other, kStructural | kMarker | kScope | kReopensLink},
    {"area", Kind::Other, kVoid | kReopensLink},
    {"article", Kind::Other, kBlock},
    {"aside", Kind::Other, kBlock},
    {"base", Kind::Other, kVoid},
    {"basefont", Kind::Other, kVoid},
    {"bgsound", Kind::Other, kVoid},
    {"blockquote", Kind::Other, kBlock},
    {"body", Kind::Ignored, kBreak},
    {"br", Kind::Other, kVoid | kBreak | kReopensLink},
    {"button", Kind::Button, kStructural | kReopensLink},
    {"caption", Kind::Caption, kStructural | kBreak | kMarker | kScope | kTablePart},
    {"center", Kind::Other, kBlock},
    {"col", Kind::Other, kVoid | kTablePart},
    {"colgroup", Kind::Section, kStructural | kTablePart},
    {"dd", Kind::DdDt, kBlock},
    {"details", Kind::Other, kBlock},
    {"dialog", Kind::Other, kBlock},
    {"dir", Kind::Other, kBlock},
    {"div", Kind::Other, kBlock | kLiPasses},
    {"dl", Kind::Other, kBlock},
    {"dt", Kind::DdDt, kBlock},
    {"embed", Kind::Other, kVoid | kReopensLink},
    {"fieldset", Kind::Other, kBlock},
    {"figcaption", Kind::Figcaption, kBlock},
    {"figure", Kind::Figure, kBlock},
    {"footer", Kind::Other, kBlock},
    {"form", Kind::Form, kBlock},
    {"frame", Kind::Other, kVoid},
    {"frameset", Kind::Ignored, 0},
    {"h1", Kind::Heading, kBlock},
    {"h2", Kind::Heading, kBlock},
    {"h3", Kind::Heading, kBlock},
    {"h4", Kind::Heading, kBlock},
    {"h5", Kind::Heading, kBlock},
    {"h6", Kind::Heading, kBlock},
    {"head", Kind::Ignored, 0},
    {"header", Kind::Other, kBlock},
    {"hgroup", Kind::Other, kBlock},
    {"hr", Kind::Other, kVoid | kBreak | kClosesP},
    {"html", Kind::Ignored, 0},
    {"iframe", Kind::Other, kVoid},
    {"image", Kind::Other, kVoid | kReopensLink},
    {"img", Kind::Other, kVoid | kReopensLink},
    {"input", Kind::Other, kVoid | kReopensLink},
    {"keygen", Kind::Other, kVoid | kReopensLink},
    {"legend", Kind::Other, kBreak | kReopensLink},
    {"li", Kind::Li, kBlock},
    {"link", Kind::Other, kVoid},
    {"listing", Kind::Other, kBlock},
    {"main", Kind::Other, kBlock},
    {"marquee", Kind::Other, kStructural | kMarker | kScope | kReopensLink},
    {"math", Kind::Other, kVoid | kReopensLink},
    {"menu", Kind::List, kBlock},
    {"meta", Kind::Other, kVoid},
    {"nav", Kind::Other, kBlock},
    {"noembed", Kind::Other, kVoid},
    {"noframes", Kind::Other, kVoid},
    {"noscript", Kind::Other, kStructural | kHidden},
    {"object", Kind::Other, kStructural | kMarker | kScope | kReopensLink},
    {"ol", Kind::List, kBlock},
    {"optgroup", Kind::Other, kBreak | kReopensLink},
    {"option", Kind::Other, kBreak | kReopensLink},
    {"p", Kind::P, kBlock | kLiPasses},
    {"param", Kind::Other, kVoid},
    {"plaintext", Kind::Other, kBlock},
    {"pre", Kind::Other, kBlock},
    {"script", Kind::Other, kVoid},
    {"search", Kind::Other, kBlock},
    {"section", Kind::Other, kBlock},
    {"select", Kind::Other, kStructural | kReopensLink},
    {"source", Kind::Other, kVoid},
    {"style", Kind::Other, kVoid},
    {"summary", Kind::Other, kBlock},
    {"svg", Kind::Other, kVoid | kReopensLink},
    {"table", Kind::Table, kBlock | kScope | kTableScope},
    {"tbody", Kind::Section, kStructural | kBreak | kTablePart},
    {"td", Kind::Cell, kStructural | kBreak | kMarker | kScope | kTablePart},
    {"template", Kind::Template, kStructural | kMarker | kScope | kTableScope | kHidden},
    {"textarea", Kind::Other, kVoid},
    {"tfoot", Kind::Section, kStructural | kBreak | kTablePart},
    {"th", Kind::Cell, kStructural | kBreak | kMarker | kScope | kTablePart},
    {"thead", Kind::Section, kStructural | kBreak | kTablePart},
    {"title", Kind::Other, kVoid},
    {"tr", Kind::Row, kStructural | kBreak | kTablePart},
    {"track", Kind::Other, kVoid},
    {"ul", Kind::List, kBlock},
    {"wbr", Kind::Other, kVoid | kReopensLink},
    {"xmp", Kind::Other, kVoid | kBreak | kClosesP},
};
static_assert(std::is_sorted(std::begin(kTypes), std::end(kTypes), [](const Type& x, const Type& y) { return x.name < y.name; }));
constexpr uint8_t kInline = static_cast<uint8_t>(std::size(kTypes)); // any name not in the table
constexpr Type kInlineType = {"", Kind::Other, kReopensLink};

uint64_t nameKey(std::string_view name)
{
    uint64_t key = 14695981039346656037u;
    for (const char c : name)
        key = (key ^ static_cast<unsigned char>(text::lowerAscii(c))) * 1099511628211u;
    return key;
}

// The lower-case name in one word, for names of up to 8 letters; 0 for others.
uint64_t packed(std::string_view name) { return name.size() <= 8 ? text::lowerPacked(name, 0, name.size()) : 0; }

// Every tag is looked up: by its packed name in a table hashed on it, else (the few long names,
// as "figcaption") by their two packed halves. Made once, before any page is read.
struct TypeTable {
    static constexpr size_t kSlots = 512;
    static size_t slotOf(uint64_t key) { return static_cast<size_t>((key * 0x9E3779B97F4A7C15u) >> 55); }
    struct LongName {
        uint64_t first, rest;
        size_t size;
        uint8_t type;
    };
    std::array<std::pair<uint64_t, uint8_t>, kSlots> byKey{};
    std::vector<LongName> longNames;

    TypeTable()
    {
        for (size_t i = 0; i < std::size(kTypes); ++i) {
            const std::string_view name = kTypes[i].name;
            if (name.size() > 8) {
                longNames.push_back({text::lowerPacked(name, 0, 8), text::lowerPacked(name, 8, name.size() - 8), name.size(), static_cast<uint8_t>(i)});
                continue;
            }
            size_t slot = slotOf(packed(name));
            while (byKey[slot].first != 0)
                slot = (slot + 1) % kSlots;
            byKey[slot] = {packed(name), static_cast<uint8_t>(i)};
        }
    }
};
const TypeTable kTypeTable;

// The type of a long name (over eight bytes), by its two packed halves.
[[gnu::noinline]] uint8_t longTypeOf(std::string_view page, ByteRange name)
{
    for (const TypeTable::LongName& known : kTypeTable.longNames)
        if (known.size == name.size() && known.first == text::lowerPacked(page, name.begin, 8) &&
            known.rest == text::lowerPacked(page, name.begin + 8, name.size() - 8))
            return known.type;
    return kInline;
}

// The type of the element named at `name` in `page`, whose packed lower-case key is `key`
// (0 for a long name, or one that holds a NUL). Inline: every tag is looked up.
[[gnu::always_inline]] inline uint8_t typeOf(std::string_view page, ByteRange name, uint64_t key)
{
    if (name.size() > 8)
        return longTypeOf(page, name);
    for (size_t slot = TypeTable::slotOf(key); key != 0; slot = (slot + 1) % TypeTable::kSlots) {
        if (kTypeTable.byKey[slot].first == key)
            return kTypeTable.byKey[slot].second;
        if (kTypeTable.byKey[slot].first == 0)
            return kInline;
    }
    return kInline;
}

[[gnu::always_inline]] inline const Type& typeAt(uint8_t type) { return type == kInline ? kInlineType : kTypes[type]; }

// White space runs made one space, control characters dropped, ends trimmed. With `ends`:
// where each kRunEnd was, which is dropped too.
std::string folded(std::string_view s, std::vector<size_t>* ends = nullptr)
{
    std::string out(s.size(), '\0'); // never longer than what it folds
    size_t size = 0;
    bool space = false;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c <= 0x20 || c >= 0x7F) { // most are printable ASCII: the rest is looked at here
            if (ends && c == kRunEnd)
                ends->push_back(size);
            if (text::isHtmlSpace(static_cast<char>(c))) {
                space = size > 0;
                continue;
            }
            if (c < 0x20 || c == 0x7F)
                continue;
            if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) >= 0x80 && static_cast<unsigned char>(s[i + 1]) <= 0x9F) {
                ++i; // a C1 control
                continue;
            }
        }
        if (space)
            out[size++] = ' ';
        space = false;
        out[size++] = static_cast<char>(c);
    }
    out.resize(size);
    return out;
}

// Whether the encoding reads each run of text alike wherever a reading starts: not one that
// shifts state with escapes (ISO-2022, UTF-7, HZ) or counts in units wider than a byte.
bool statelessEncoding(std::string_view encoding)
{
    std::string name;
    for (const char c : encoding)
        if (c != '-' && c != '_')
            name += text::lowerAscii(c);
    for (const std::string_view stateful : {"2022", "utf7", "hz", "utf16", "utf32", "ucs", "unicode"})
        if (name.find(stateful) != std::string::npos)
            return false;
    return true;
}

bool startsCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

// The last `count` characters of folded text, from the start of a word when one starts near.
std::string lastCharacters(std::string text, size_t count)
{
    size_t at = text.size();
    for (size_t seen = 0; at > 0 && seen < count;)
        seen += startsCharacter(text[--at]);
    if (at == 0)
        return text;
    if (text[at - 1] != ' ') {
        const size_t space = text.find(' ', at);
        if (space != std::string::npos && space - at <= kSlack)
            at = space + 1;
    }
    while (at < text.size() && text[at] == ' ')
        ++at;
    return text.substr(at);
}

// The first `count` characters of folded text, up to the end of a word when one ends near.
std::string firstCharacters(std::string text, size_t count)
{
    size_t at = 0;
    for (size_t seen = 0; at < text.size() && (seen < count || !startsCharacter(text[at])); ++at)
        seen += startsCharacter(text[at]);
    if (at >= text.size())
        return text;
    if (text[at] != ' ') {
        const size_t space = text.rfind(' ', at);
        if (space != std::string::npos && at - space <= kSlack)
            at = space;
    }
    text.resize(at);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}


// A stretch of a link's or a caption's text: page text, a break between blocks, or the ALT of
// an image in it.
struct Piece {
    ByteRange text; // empty with no image: a break
    size_t image = SIZE_MAX;
    size_t seq = 0; // when it was met
};

struct Pieces {
    // Kept until the page is read, as the walk's links and captions are: taken from the walk's
    // arena, not one allocation each.
    explicit Pieces(std::pmr::memory_resource* arena) : pieces(arena) {}
    std::pmr::vector<Piece> pieces;
    size_t bytes = 0;
    bool cut = false;     // ran past kMostLinkBytes
    bool onStack = false; // its element is open: more may come

    void add(Piece piece)
    {
        if (cut || (piece.text.empty() && piece.image == SIZE_MAX && (pieces.empty() || pieces.back().text.empty())))
            return;
        bytes += piece.image == SIZE_MAX ? piece.text.size() : 16; // images too: a link may hold thousands
        cut = bytes > kMostLinkBytes;
        if (pieces.empty())
            pieces.reserve(2); // most hold two (a picture, its words): one allocation, not two
        pieces.push_back(piece);
    }
};

struct Link {
    std::optional<ByteRange> href; // its value as written; none for an <a> without one, no link
    Pieces text;
};

struct Open {
    uint8_t type;
    uint64_t name = 0;        // an element of a name not in kTypes: that name's hash
    size_t link = SIZE_MAX;   // an <a>: its link
    size_t figure = SIZE_MAX; // a <figure>: its figure; a <figcaption>: its text
    size_t seq = 0;           // what was met before it opened
};

// The link a browser keeps open to reopen after blocks that closed around it.
struct ActiveLink {
    size_t link, markers; // the markers open when it was opened
    bool onStack;
};

struct Figure {
    size_t caption = SIZE_MAX; // an index into the captions
    bool onStack = false;
};

struct PlacedImage {
    size_t image, run, link, figure, seq;
    size_t textBytes; // of the runs before it
};

// Where each image's tag starts, by its index in the found images; a background none.
std::vector<size_t> tagStarts(const FoundImages& found)
{
    std::vector<size_t> starts;
    starts.reserve(found.images.size());
    for (const FoundImage& image : found.images)
        starts.push_back(image.kind == ImageKind::Background ? SIZE_MAX : image.tag.whole.begin);
    return starts;
}

} // namespace

class ContextWalk : public PageWalk {
public:
    ContextWalk(std::string_view page, std::vector<size_t> starts, std::string encoding, bool surroundings)
        : page_(page), starts_(std::move(starts)), encoding_(std::move(encoding)), surroundings_(surroundings)
    {
    }

    // Told the images by the walk itself, for `reader`.
    ContextWalk(std::string_view page, std::string encoding, ImageReader& reader)
        : page_(page), encoding_(std::move(encoding)), surroundings_(false), reader_(&reader)
    {
    }

    void read()
    {
        walkPage(page_, *this);
        done_ = true;
        tellSettled();
    }

    bool wantsImages() const override { return reader_ != nullptr; }

    void image(const FoundImage& image) override
    {
        const size_t index = starts_.size();
        starts_.push_back(image.tag.whole.begin);
        // No link can be opened again around it either.
        const bool outside = links_open_ == 0 && active_.empty() && figures_open_ == 0;
        if (const ImageReader::Wants wants = reader_->met(index, image, outside); wants != ImageReader::Wants::Nothing) {
            waiting_.push_back({index, wants});
            maySettle_ = true;
        }
    }

    void graphic(const FoundGraphic& graphic) override { reader_->graphic(graphic); }

    // Every image's context, read in one walk over the whole page.
    std::vector<ImageContext> contexts()
    {
        walkPage(page_, *this);
        std::vector<ImageContext> out(starts_.size());
        // Texts that leave no ALT out, read once: a link or figure may hold thousands of images.
        std::vector<std::optional<std::string>> wholeLinks(links_.size()), captions(captions_.size());
        const auto once = [&](std::optional<std::string>& text, const Pieces& pieces) -> const std::string& {
            return text ? *text : text.emplace(textOf(pieces, SIZE_MAX));
        };
        for (const PlacedImage& placed : placed_) {
            ImageContext& context = out[placed.image];
            if (placed.link != SIZE_MAX && links_[placed.link].href) {
                const Link& link = links_[placed.link];
                context.linkHref = decodeAttribute(fromPageEncoding(link.href->of(page_), encoding_));
                const bool own = std::any_of(link.text.pieces.begin(), link.text.pieces.end(), [&](const Piece& p) { return p.image == placed.image; });
                context.linkText = own ? textOf(link.text, placed.image) : once(wholeLinks[placed.link], link.text);
            }
            if (placed.figure != SIZE_MAX) {
                context.inFigure = true;
                if (const size_t caption = figures_[placed.figure].caption; caption != SIZE_MAX)
                    context.caption = once(captions[caption], captions_[caption]);
            }
            if (surroundings_) {
                if (ends_.size() != runs_.size())
                    shown_ = shownText(0, runs_.size(), &ends_);
                const size_t at = placed.run == 0 ? 0 : ends_[placed.run - 1];
                context.before = before(shown_, at);
                context.after = after(shown_, at);
            }
        }
        return out;
    }

    // The context of one image, walking on with `walker` only as far as it reaches: to the end
    // of its link and figure and through the text after it.
    ImageContext contextOf(size_t image, PageWalker& walker)
    {
        if (image >= starts_.size() || starts_[image] == SIZE_MAX)
            return {};
        target_ = image;
        std::optional<std::pair<std::string, std::string>> around;
        const PlacedImage* placed = nullptr;
        for (afterBytes_ = 4 * kWindow; !around; afterBytes_ *= 2) {
            while (!settled())
                done_ = !walker.resume();
            placed = placedAt(image);
            if (!placed)
                break;
            around = aroundRun(placed->run);
        }
        target_ = SIZE_MAX;
        if (!placed)
            return {};
        ImageContext context;
        if (placed->link != SIZE_MAX && links_[placed->link].href)
            context.linkHref = decodeAttribute(fromPageEncoding(links_[placed->link].href->of(page_), encoding_));
        linkAndCaption(*placed, true, context);
        context.before = std::move(around->first);
        context.after = std::move(around->second);
        return context;
    }

    bool pause() override
    {
        if (reader_ && maySettle_)
            tellSettled();
        return target_ != SIZE_MAX && settled();
    }

    void startTag(ByteRange whole, ByteRange name, uint64_t key, const std::vector<TagAttribute>& attributes) override
    {
        const WantText after{*this};
        read_ = whole.end;
        const uint8_t type = typeOf(page_, name, key);
        const Type& t = typeAt(type);
        if (t.kind == Kind::Ignored || (t.kind == Kind::Form && find([](const Open& o) { return typeAt(o.type).kind == Kind::Form; }, 0) != SIZE_MAX))
            return; // a form in a form is dropped
        if (t.flags & kBreak)
            breakText();
        if ((t.flags & kTablePart) && find([](const Open& o) { return typeAt(o.type).kind == Kind::Table; }, 0) == SIZE_MAX)
            return;
        if (t.flags & kClosesP)
            closeP();
        Open element{type};
        switch (t.kind) {
        case Kind::A: {
            if (!active_.empty() && active_.back().markers == markers_)
                closeLink();
            reconstruct();
            const TagAttribute* href = StartTag::firstNamed(page_, attributes, "href");
            element.link = newLink(href ? std::optional<ByteRange>(href->value) : std::nullopt);
            if (push(element))
                active_.push_back({element.link, markers_, true});
            return;
        }
        case Kind::Li:
        case Kind::DdDt:
            for (size_t i = open_.size(); i-- > 0;) {
                const Type& o = typeAt(open_[i].type);
                if (o.kind == t.kind) {
                    popTo(i);
                    break;
                }
                if ((o.flags & kStructural) && !(o.flags & kLiPasses))
                    break;
            }
            break;
        case Kind::Heading:
            if (!open_.empty() && typeAt(open_.back().type).kind == Kind::Heading)
                popTo(open_.size() - 1);
            break;
        case Kind::Table:
        case Kind::Section:
        case Kind::Row:
        case Kind::Cell:
        case Kind::Caption: {
            // Goes right into the part of the table that holds it, ending all opened since: an open
            // cell, row or section, and what was wrongly opened in the table. A table right in a
            // table ends it.
            const Kind holder = t.kind == Kind::Caption ? Kind::Section : t.kind;
            const size_t into = find([&](const Open& o) { const Kind k = typeAt(o.type).kind; return k >= Kind::Table && k < holder; }, kTableScope);
            const bool inCell = find([](const Open& o) { const Kind k = typeAt(o.type).kind; return k == Kind::Cell || k == Kind::Caption; }, kTableScope) != SIZE_MAX;
            if (t.kind != Kind::Table && into != SIZE_MAX)
                popTo(into + 1);
            else if (t.kind == Kind::Table && !inCell)
                popTo(find([](const Open& o) { return typeAt(o.type).kind == Kind::Table; }, kTableScope));
            break;
        }
        case Kind::Button:
            popTo(find([&](const Open& o) { return o.type == type; }, kScope));
            break;
        case Kind::Figure:
            element.figure = figures_.size();
            figures_.emplace_back();
            break;
        case Kind::Figcaption:
            element.figure = captions_.size();
            captions_.emplace_back(&arena_);
            if (!open_.empty())
                claimCaption(open_.back(), element);
            break;
        default:
            break;
        }
        if (t.flags & kReopensLink)
            reconstruct();
        if (t.flags & kVoid)
            return place(whole.begin);
        if (type == kInline)
            element.name = key != 0 ? key : nameKey(name.of(page_));
        push(element);
    }

    void endTag(ByteRange whole, ByteRange name, uint64_t key) override
    {
        const WantText after{*this};
        read_ = whole.end;
        const uint8_t type = typeOf(page_, name, key);
        const Type& t = typeAt(type);
        if (t.kind == Kind::A) {
            if (!active_.empty() && active_.back().markers == markers_)
                closeLink();
            return;
        }
        if (t.flags & kBreak)
            breakText();
        if ((t.flags & kVoid) || t.kind == Kind::Ignored)
            return;
        if (!(t.flags & kStructural)) { // ends its element, unless a block stands in between
            const uint64_t inlineKey = type == kInline ? (key != 0 ? key : nameKey(name.of(page_))) : 0;
            for (size_t i = open_.size(); i-- > 0;) {
                if (open_[i].type == type && open_[i].name == inlineKey)
                    return popTo(i);
                if (typeAt(open_[i].type).flags & kStructural)
                    return;
            }
            return;
        }
        switch (t.kind) {
        case Kind::P:
            popTo(find([](const Open& o) { return typeAt(o.type).kind == Kind::P; }, kScope, Kind::Button));
            break;
        case Kind::Li:
            popTo(find([](const Open& o) { return typeAt(o.type).kind == Kind::Li; }, kScope, Kind::List));
            break;
        case Kind::Heading:
            popTo(find([](const Open& o) { return typeAt(o.type).kind == Kind::Heading; }, kScope));
            break;
        case Kind::Form: // ends the form alone: what was opened in it stays open
            if (const size_t at = find([](const Open& o) { return typeAt(o.type).kind == Kind::Form; }, kScope); at != SIZE_MAX) {
                unlist(open_[at]);
                open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(at));
            }
            break;
        default:
            popTo(find([&](const Open& o) { return o.type == type; }, (t.flags & kTablePart) || t.kind == Kind::Table ? kTableScope : kScope));
            break;
        }
    }

    void text(ByteRange range) override
    {
        read_ = range.end;
        if (!takesText())
            return; // no link or caption takes it, and none is to be opened again
        if (range.begin == 0 && page_.starts_with("\xEF\xBB\xBF"))
            range.begin = std::min<size_t>(3, range.end); // the byte-order mark is no text
        if (hidden_ > 0 || range.empty())
            return;
        if (!active_.empty() && !active_.back().onStack && !(inTableRows() && text::isBlank(range.of(page_))))
            reconstruct();
        if (surroundings_) {
            runs_.push_back(range);
            runBytes_ += range.size();
        }
        addToOpen({range});
    }

private:
    // Text is passed by unless a link or caption may take it, or the text around images is kept.
    bool takesText() const { return surroundings_ || links_open_ > 0 || captions_open_ > 0 || !active_.empty(); }
    // Says so once a tag has been taken, whichever way it was.
    struct WantText {
        ContextWalk& walk;
        ~WantText() { walk.textWanted_ = walk.takesText(); }
    };

    template <typename Match>
    size_t find(Match match, uint32_t boundary, Kind alsoBoundary = Kind::Ignored) const
    {
        for (size_t i = open_.size(); i-- > 0;) {
            if (match(open_[i]))
                return i;
            const Type& t = typeAt(open_[i].type);
            if ((t.flags & boundary) || t.kind == alsoBoundary)
                return SIZE_MAX;
        }
        return SIZE_MAX;
    }

    bool push(const Open& element)
    {
        if (open_.size() >= kMostDepth)
            return false;
        open_.push_back(element);
        open_.back().seq = seq_;
        const uint32_t flags = typeAt(element.type).flags;
        markers_ += (flags & kMarker) != 0;
        hidden_ += (flags & kHidden) != 0;
        links_open_ += element.link != SIZE_MAX;
        captions_open_ += typeAt(element.type).kind == Kind::Figcaption;
        figures_open_ += typeAt(element.type).kind == Kind::Figure;
        markOnStack(element, true);
        return true;
    }

    // Ends the element at i and all opened after it.
    void popTo(size_t i)
    {
        if (i >= open_.size())
            return;
        for (size_t k = i; k < open_.size(); ++k)
            unlist(open_[k]);
        open_.resize(i);
        while (!active_.empty() && active_.back().markers > markers_)
            active_.pop_back();
    }

    void unlist(const Open& element)
    {
        const uint32_t flags = typeAt(element.type).flags;
        markers_ -= (flags & kMarker) != 0;
        hidden_ -= (flags & kHidden) != 0;
        captions_open_ -= typeAt(element.type).kind == Kind::Figcaption;
        figures_open_ -= typeAt(element.type).kind == Kind::Figure;
        markOnStack(element, false);
        if (element.link != SIZE_MAX) {
            --links_open_;
            for (ActiveLink& active : active_)
                active.onStack = active.onStack && active.link != element.link;
        }
    }

    void closeP() { popTo(find([](const Open& o) { return typeAt(o.type).kind == Kind::P; }, kScope, Kind::Button)); }

    // Ends the link open since the last marker: a new <a> or </a> ends it, with the inline
    // elements opened in it. Each block still open in it (up to eight, as browsers go) leaves
    // it with what it holds, into a copy of the link that ends here too.
    void closeLink()
    {
        const ActiveLink active = active_.back();
        active_.pop_back();
        maySettle_ = true; // images may move to a copy of the link
        if (!active.onStack)
            return;
        size_t at = open_.size();
        while (at-- > 0 && open_[at].link != active.link) {
        }
        size_t from = active.link, last = at, blocks = 0;
        for (size_t block = at + 1; block < open_.size() && blocks < 8; ++block) {
            if (!(typeAt(open_[block].type).flags & kStructural))
                continue;
            if (blocks == 0 && at > 0 && typeAt(open_[block].type).kind == Kind::Figcaption)
                claimCaption(open_[at - 1], open_[block]); // the block moves up to where the link stood
            const size_t since = open_[block].seq, copy = newLink(links_[from].href);
            std::pmr::vector<Piece>& pieces = links_[from].text.pieces;
            const auto moved = std::find_if(pieces.begin(), pieces.end(), [&](const Piece& p) { return p.seq >= since; });
            links_[copy].text.pieces.assign(moved, pieces.end());
            pieces.erase(moved, pieces.end());
            for (size_t k = placed_.size(); k-- > 0 && placed_[k].seq >= since;)
                if (placed_[k].link == from)
                    placed_[k].link = copy;
            from = copy;
            last = block;
            ++blocks;
        }
        if (blocks == 8) { // browsers give up there: the last copy stays open
            open_.insert(open_.begin() + static_cast<std::ptrdiff_t>(last + 1), Open{open_[at].type, 0, from, SIZE_MAX, seq_});
            links_[from].text.onStack = true;
            ++links_open_;
            active_.push_back({from, active.markers, true});
        } else {
            popTo(last + 1);
        }
        unlist(open_[at]);
        open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(at));
    }

    // A link that blocks closed around it opens again, as a copy, for what follows.
    void reconstruct()
    {
        if (active_.empty() || active_.back().onStack || active_.back().markers != markers_)
            return;
        ActiveLink& active = active_.back();
        Open copy{typeOf("a", {0, 1}, packed("a")), 0, newLink(links_[active.link].href)};
        if (push(copy)) {
            active.link = copy.link;
            active.onStack = true;
        }
    }

    size_t newLink(std::optional<ByteRange> href)
    {
        links_.push_back({href, Pieces(&arena_)});
        return links_.size() - 1;
    }

    bool inTableRows() const
    {
        if (open_.empty())
            return false;
        const Kind k = typeAt(open_.back().type).kind;
        return k == Kind::Table || k == Kind::Section || k == Kind::Row;
    }

    // The first figcaption right in a figure is its caption.
    void claimCaption(const Open& parent, const Open& figcaption)
    {
        if (typeAt(parent.type).kind == Kind::Figure && figures_[parent.figure].caption == SIZE_MAX)
            figures_[parent.figure].caption = figcaption.figure;
    }

    // Adds to every open link and caption: a link in a link (past a marker) is in both.
    void addToOpen(Piece piece)
    {
        // Nothing open takes it. Its number is not used up either: numbers only order the pieces
        // and images of open links against the blocks opened in them.
        if (links_open_ == 0 && (piece.image != SIZE_MAX || captions_open_ == 0))
            return;
        piece.seq = seq_++;
        size_t links = links_open_, captions = piece.image == SIZE_MAX ? captions_open_ : 0;
        for (size_t i = open_.size(); i-- > 0 && links + captions > 0;) {
            if (open_[i].link != SIZE_MAX) {
                links_[open_[i].link].text.add(piece);
                --links;
            } else if (captions > 0 && typeAt(open_[i].type).kind == Kind::Figcaption) {
                captions_[open_[i].figure].add(piece);
                --captions;
            }
        }
    }

    [[gnu::always_inline]] void breakText()
    {
        if (!surroundings_ && links_open_ == 0 && captions_open_ == 0)
            return; // nothing to break: most blocks stand outside links and captions
        if (surroundings_ && !runs_.empty() && !runs_.back().empty())
            runs_.push_back({});
        addToOpen({});
    }

    void place(size_t at)
    {
        while (next_ < starts_.size() && (starts_[next_] == SIZE_MAX || starts_[next_] < at))
            ++next_;
        if (next_ >= starts_.size() || starts_[next_] != at)
            return;
        if (reader_ && links_open_ == 0 && (waiting_.empty() || waiting_.back().image != next_)) {
            ++next_; // no one asks where it stands, and no link's text holds its ALT
            return;
        }
        PlacedImage placed{next_++, runs_.size(), SIZE_MAX, SIZE_MAX, seq_, runBytes_};
        maySettle_ = true;
        // A template's content stands apart from the page: nothing outside it holds it.
        for (size_t i = open_.size(); i-- > 0 && (placed.link == SIZE_MAX || placed.figure == SIZE_MAX) && typeAt(open_[i].type).kind != Kind::Template;) {
            if (placed.link == SIZE_MAX && open_[i].link != SIZE_MAX)
                placed.link = open_[i].link;
            if (placed.figure == SIZE_MAX && typeAt(open_[i].type).kind == Kind::Figure)
                placed.figure = open_[i].figure;
        }
        if (placed.link != SIZE_MAX && hidden_ == 0)
            addToOpen({{}, placed.image});
        placed_.push_back(placed);
    }

    // The text of the link a placed image stands in (its own ALT left out; with `withLink`),
    // and its figure's caption.
    void linkAndCaption(const PlacedImage& placed, bool withLink, ImageContext& context) const
    {
        if (withLink && placed.link != SIZE_MAX && links_[placed.link].href)
            context.linkText = textOf(links_[placed.link].text, placed.image);
        if (placed.figure != SIZE_MAX) {
            context.inFigure = true;
            if (const size_t caption = figures_[placed.figure].caption; caption != SIZE_MAX)
                context.caption = textOf(captions_[caption], SIZE_MAX);
        }
    }

    std::string textOf(const Pieces& pieces, size_t leftOut) const
    {
        // Most hold one run of words beside the image itself: folded straight from the page
        // when it is shown as written (breaks around it fold away).
        const Piece* only = nullptr;
        bool oneRun = !pieces.cut;
        for (const Piece& piece : pieces.pieces) {
            if (piece.image == SIZE_MAX ? piece.text.empty() : piece.image == leftOut)
                continue;
            oneRun = oneRun && piece.image == SIZE_MAX && !only;
            only = &piece;
        }
        if (oneRun && (!only || readsAsWritten(only->text.of(page_), encoding_)))
            return only ? folded(only->text.of(page_)) : std::string();
        std::string raw, text;
        for (const Piece& piece : pieces.pieces) {
            if (piece.image == SIZE_MAX) {
                raw += piece.text.empty() ? std::string_view(" ") : piece.text.of(page_);
                continue;
            }
            if (piece.image == leftOut)
                continue;
            appendShown(text, raw);
            text += ' ';
            raw.clear();
            const std::optional<StartTag> tag = startTagAt(page_, starts_[piece.image]);
            text += (tag ? altOf(page_, *tag, encoding_) : std::nullopt).value_or("") + " ";
        }
        appendShown(text, raw);
        std::string out = folded(text);
        if (pieces.cut)
            out += " \xE2\x80\xA6"; // never equal to an ALT
        return out;
    }

    // Text as written in the page, as shown: converted, references resolved.
    void appendShown(std::string& out, std::string_view raw) const
    {
        if (readsAsWritten(raw, encoding_))
            out += raw;
        else
            out += decodeText(fromPageEncoding(raw, encoding_));
    }

    void markOnStack(const Open& element, bool onStack)
    {
        if (element.link != SIZE_MAX) {
            links_[element.link].text.onStack = onStack;
            maySettle_ = true;
        }
        const Kind kind = typeAt(element.type).kind;
        if (kind == Kind::Figure)
            figures_[element.figure].onStack = onStack;
        else if (kind == Kind::Figcaption)
            captions_[element.figure].onStack = onStack;
        maySettle_ = maySettle_ || kind == Kind::Figure || kind == Kind::Figcaption;
    }

    const PlacedImage* placedAt(size_t image) const
    {
        if (!placed_.empty() && placed_.back().image == image)
            return &placed_.back(); // most are asked for as soon as they are placed
        const auto it = std::lower_bound(placed_.begin(), placed_.end(), image, [](const PlacedImage& p, size_t i) { return p.image < i; });
        return it != placed_.end() && it->image == image ? &*it : nullptr;
    }

    // The walk has read all that the context of target_ takes: its link and figure have ended
    // and afterBytes_ of text follow it, or the page has.
    bool settled() const
    {
        const PlacedImage* placed = nullptr;
        return ended(target_, placed) && (!placed || done_ || runBytes_ - placed->textBytes >= afterBytes_);
    }

    // The image's link and figure have ended, or the page has; `placed` is where it was met, if it was.
    bool ended(size_t image, const PlacedImage*& placed) const
    {
        if (done_)
            return true;
        if (read_ <= starts_[image])
            return false;
        placed = placedAt(image);
        if (!placed)
            return true; // passed by without being met: it has no context
        if (placed->link != SIZE_MAX && links_[placed->link].text.onStack)
            return false;
        // Its caption may come yet; one ends before its figure does.
        return placed->figure == SIZE_MAX || !figures_[placed->figure].onStack;
    }

    // Tells the reader each waiting image whose context is known, in page order, and forgets
    // where the images before the first still waiting stood.
    void tellSettled()
    {
        maySettle_ = false;
        for (const PlacedImage* placed = nullptr; !waiting_.empty() && ended(waiting_.front().image, placed); waiting_.pop_front(), placed = nullptr) {
            const auto [image, wants] = waiting_.front();
            ImageContext context;
            if (const PlacedImage* at = placed ? placed : placedAt(image))
                linkAndCaption(*at, wants == ImageReader::Wants::LinkAndCaption, context);
            reader_->settled(image, context);
        }
        // A link that blocks broke up may still move images told already to a copy of it: no one
        // asks for them again.
        if (placed_.size() < kMostPlaced)
            return;
        const size_t keep = waiting_.empty() ? next_ : waiting_.front().image;
        const auto gone = std::lower_bound(placed_.begin(), placed_.end(), keep, [](const PlacedImage& p, size_t i) { return p.image < i; });
        if (gone - placed_.begin() > static_cast<std::ptrdiff_t>(kMostPlaced / 2))
            placed_.erase(placed_.begin(), gone);
    }

    // The shown text of runs [from, to), and where each of them ends in it.
    std::string shownText(size_t from, size_t to, std::vector<size_t>* ends) const
    {
        std::string raw;
        for (size_t run = from; run < to; ++run) {
            for (const char c : runs_[run].empty() ? std::string_view(" ") : runs_[run].of(page_))
                if (c != kRunEnd)
                    raw += c;
            raw += kRunEnd;
        }
        return folded(decodeText(fromPageEncoding(raw, encoding_)), ends);
    }

    // The text before and after the image at `run`, from a stretch of runs around it wide enough
    // to read as the whole page's text does; nothing when the walk has not read far enough yet.
    // Folding starts afresh at the stretch's start, which may leave out one space there; a
    // converter with a state of its own starts at the page's start.
    std::optional<std::pair<std::string, std::string>> aroundRun(size_t run) const
    {
        for (size_t need = 4 * kWindow;; need *= 2) {
            size_t from = run, to = run, back = 0, ahead = 0;
            while (from > 0 && back < need)
                back += runs_[--from].size();
            while (to < runs_.size() && ahead < need)
                ahead += runs_[to++].size();
            if (!statelessEncoding(encoding_))
                from = 0;
            std::vector<size_t> ends;
            const std::string shown = shownText(from, to, &ends);
            const size_t at = run == from ? 0 : ends[run - from - 1];
            size_t begin = at;
            while (begin < shown.size() && shown[begin] == ' ')
                ++begin;
            const bool beforeKnown = from == 0 || at >= kWindow + 4;
            const bool afterKnown = (to == runs_.size() && done_) || shown.size() >= begin + kWindow + 4;
            if (beforeKnown && afterKnown)
                return std::pair{before(shown, at), after(shown, at)};
            if (!afterKnown && to == runs_.size())
                return std::nullopt;
        }
    }

    // About kAround characters of shown text before `end`.
    static std::string before(const std::string& shown, size_t end)
    {
        size_t begin = end > kWindow ? end - kWindow : 0;
        while (begin > 0 && !startsCharacter(shown[begin]))
            --begin;
        return lastCharacters(shown.substr(begin, end - begin), kAround);
    }

    // About kAround characters of shown text from `begin` on.
    static std::string after(const std::string& shown, size_t begin)
    {
        while (begin < shown.size() && shown[begin] == ' ')
            ++begin;
        size_t end = std::min(shown.size(), begin + kWindow);
        while (end < shown.size() && !startsCharacter(shown[end]))
            ++end;
        return firstCharacters(shown.substr(begin, end - begin), kAround);
    }

    std::string_view page_;
    std::vector<size_t> starts_; // of the images' tags
    const std::string encoding_;
    const bool surroundings_;
    std::vector<Open> open_;
    std::vector<ActiveLink> active_;
    size_t markers_ = 0, hidden_ = 0, links_open_ = 0, captions_open_ = 0, figures_open_ = 0;
    std::pmr::monotonic_buffer_resource arena_{4096}; // for the links' and captions' pieces
    std::vector<Link> links_;
    std::vector<Figure> figures_;
    std::vector<Pieces> captions_; // the text of each figcaption
    std::vector<ByteRange> runs_; // text in page order; an empty one breaks it, as a block does
    size_t runBytes_ = 0;         // their bytes
    std::string shown_;           // their text as shown, when read whole
    std::vector<size_t> ends_;    // where in shown_ each run ends
    std::vector<PlacedImage> placed_;
    size_t next_ = 0; // the next image of starts_ to meet
    size_t seq_ = 0;  // pieces met so far
    size_t read_ = 0; // where the walk has read to
    // For one image's context: the image, the text after it to read, and the walk at the page's end.
    size_t target_ = SIZE_MAX, afterBytes_ = 0;
    bool done_ = false;
    // Told the images as it meets them: the reader, and the images waiting for their context.
    ImageReader* reader_ = nullptr;
    struct Waiting {
        size_t image;
        ImageReader::Wants wants;
    };
    std::deque<Waiting> waiting_;
    bool maySettle_ = true; // something the waiting images' contexts hang on changed since they were last looked at
};

std::vector<ImageContext> imageContexts(std::string_view page, const FoundImages& found, const std::string& encoding)
{
    return ContextWalk(page, tagStarts(found), encoding, true).contexts();
}

std::vector<ImageContext> imageLinksAndCaptions(std::string_view page, const FoundImages& found, const std::string& encoding)
{
    return ContextWalk(page, tagStarts(found), encoding, false).contexts();
}

void readImages(std::string_view page, const std::string& encoding, ImageReader& reader)
{
    ContextWalk(page, encoding, reader).read();
}

ContextReader::ContextReader(std::shared_ptr<const std::string> page, const FoundImages& found, std::string encoding)
    : page_(std::move(page)), walk_(std::make_unique<ContextWalk>(*page_, tagStarts(found), std::move(encoding), true)),
      walker_(std::make_unique<PageWalker>(*page_, *walk_))
{
}

ContextReader::~ContextReader() = default;

ImageContext ContextReader::contextOf(size_t tag) { return walk_->contextOf(tag, *walker_); }

} // namespace bw
