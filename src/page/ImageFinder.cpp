#include "page/ImageFinder.h"

#include "text/Text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

namespace bw {
namespace {

constexpr uint8_t kSpace = 1, kSlash = 2, kGreater = 4, kEquals = 8;

struct CharClasses {
    uint8_t of[256] = {};
    constexpr CharClasses()
    {
        for (unsigned char c : {'\t', '\n', '\f', '\r', ' '})
            of[c] = kSpace;
        of[static_cast<unsigned char>('/')] = kSlash;
        of[static_cast<unsigned char>('>')] = kGreater;
        of[static_cast<unsigned char>('=')] = kEquals;
    }
};
constexpr CharClasses kClasses;

inline uint8_t classOf(char c) { return kClasses.of[static_cast<unsigned char>(c)]; }
inline bool isAlpha(char c) { return static_cast<unsigned char>((c | 0x20) - 'a') < 26; }
inline char toLower(char c) { return static_cast<unsigned char>(c - 'A') < 26 ? static_cast<char>(c | 0x20) : c; }

bool equalsLower(std::string_view text, std::string_view lower)
{
    if (text.size() != lower.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (toLower(text[i]) != lower[i])
            return false;
    return true;
}

// Tag names we act on, looked up by their lower-case bytes packed into one word.
enum class Name : uint8_t {
    Other, Img, Image, Input, Area, Body, Base, Svg, Math, Template, Font, Plaintext,
    RawText,   // script, style, textarea, title, xmp, iframe, noembed, noframes
    Breakout,  // leaves svg/math content
    SvgPoint,  // foreignObject, desc, title: HTML again inside svg
    MathText,  // mi, mo, mn, ms, mtext
    AnnotationXml, MathGlyph,
};

constexpr uint64_t pack(std::string_view s)
{
    uint64_t key = 0;
    for (size_t i = 0; i < s.size(); ++i)
        key |= static_cast<uint64_t>(static_cast<unsigned char>(s[i])) << (8 * i);
    return key;
}

struct NameInfo {
    Name name = Name::Other;
    bool svgTitle = false; // "title": raw text in HTML, an integration point in svg
    bool isVoid = false;   // an HTML element without content
};

// A name of up to eight bytes by its packed lower-case bytes (0: one that holds a NUL, no name of ours).
NameInfo lookUpPacked(uint64_t key)
{
    switch (key) {
    case pack("img"): return {Name::Img, false, true};
    case pack("image"): return {Name::Image, false, true};
    case pack("input"): return {Name::Input, false, true};
    case pack("area"): return {Name::Area, false, true};
    case pack("body"): return {Name::Body};
    case pack("base"): return {Name::Base, false, true};
    case pack("br"): case pack("hr"): case pack("meta"): case pack("embed"):
        return {Name::Breakout, false, true};
    case pack("link"): case pack("col"): case pack("source"): case pack("track"): case pack("wbr"):
    case pack("param"): case pack("keygen"): case pack("frame"): case pack("basefont"): case pack("bgsound"):
        return {Name::Other, false, true};
    case pack("svg"): return {Name::Svg};
    case pack("math"): return {Name::Math};
    case pack("template"): return {Name::Template};
    case pack("font"): return {Name::Font};
    case pack("title"): return {Name::RawText, true};
    case pack("script"): case pack("style"): case pack("textarea"): case pack("xmp"):
    case pack("iframe"): case pack("noembed"): case pack("noframes"):
        return {Name::RawText};
    case pack("desc"): return {Name::SvgPoint};
    case pack("mi"): case pack("mo"): case pack("mn"): case pack("ms"): case pack("mtext"):
        return {Name::MathText};
    case pack("mglyph"): return {Name::MathGlyph};
    case pack("b"): case pack("big"): case pack("center"):
    case pack("code"): case pack("dd"): case pack("div"): case pack("dl"): case pack("dt"): case pack("em"):
    case pack("h1"): case pack("h2"): case pack("h3"): case pack("h4"): case pack("h5"):
    case pack("h6"): case pack("head"): case pack("i"): case pack("li"):
    case pack("listing"): case pack("menu"): case pack("nobr"): case pack("ol"):
    case pack("p"): case pack("pre"): case pack("ruby"): case pack("s"): case pack("small"):
    case pack("span"): case pack("strong"): case pack("strike"): case pack("sub"): case pack("sup"):
    case pack("table"): case pack("tt"): case pack("u"): case pack("ul"): case pack("var"):
        return {Name::Breakout};
    default: return {};
    }
}

// The name's key as a walk is told it.
uint64_t packedName(std::string_view page, ByteRange name)
{
    return name.size() <= 8 ? text::lowerPacked(page, name.begin, name.size()) : 0;
}

NameInfo lookUp(std::string_view page, ByteRange name, uint64_t key)
{
    const std::string_view raw = name.of(page);
    if (raw.size() > 14)
        return {};
    if (raw.size() <= 8)
        return lookUpPacked(key);
    char buf[16];
    bool nul = false; // would pack like a shorter name
    for (size_t i = 0; i < raw.size(); ++i) {
        buf[i] = toLower(raw[i]);
        nul |= buf[i] == 0;
    }
    if (nul)
        return {};
    const std::string_view lower(buf, raw.size());
    if (lower == "plaintext")
        return {Name::Plaintext};
    if (lower == "blockquote")
        return {Name::Breakout};
    if (lower == "foreignobject")
        return {Name::SvgPoint};
    if (lower == "annotation-xml")
        return {Name::AnnotationXml};
    if (lower == "malignmark")
        return {Name::MathGlyph};
    return {};
}

using text::findByte;

struct Lexed {
    size_t end = 0; // one past ">"
    ByteRange name;
    bool selfClosing = false;
};

// Lexes a start or end tag whose name begins at `at`, as the tokenizer's tag states do.
// False when the page ends inside it: the tokenizer drops such a tag.
[[gnu::always_inline]] inline bool lexTag(std::string_view page, size_t at, Lexed& tag, std::vector<TagAttribute>& attributes)
{
    const char* s = page.data();
    const size_t n = page.size();
    size_t i = at;
    while (i < n && !(classOf(s[i]) & (kSpace | kSlash | kGreater)))
        ++i;
    tag.name = {at, i};
    tag.selfClosing = false;
    attributes.clear();
    while (i < n) {
        const char c = s[i];
        const uint8_t cls = classOf(c);
        if (cls & kSpace) {
            ++i;
            continue;
        }
        if (cls & kGreater) {
            tag.end = i + 1;
            return true;
        }
        if (cls & kSlash) {
            if (i + 1 < n && s[i + 1] == '>') {
                tag.selfClosing = true;
                tag.end = i + 2;
                return true;
            }
            ++i;
            continue;
        }
        // An attribute name; its first byte may even be "=". Made in place: a copy of one just
        // written, field by field, waits on those stores.
        TagAttribute& attribute = attributes.emplace_back();
        const size_t nameBegin = i++;
        while (i < n && !(classOf(s[i]) & (kSpace | kSlash | kGreater | kEquals)))
            ++i;
        attribute.name = {nameBegin, i};
        attribute.value = {i, i};
        attribute.whole = attribute.name;
        size_t after = i;
        while (after < n && (classOf(s[after]) & kSpace))
            ++after;
        if (after >= n)
            return false;
        if (s[after] == '=') {
            i = after + 1;
            while (i < n && (classOf(s[i]) & kSpace))
                ++i;
            if (i >= n)
                return false;
            attribute.hasValue = true;
            const char q = s[i];
            if (q == '"' || q == '\'') {
                const size_t closeAt = findByte(page, i + 1, q);
                if (closeAt == std::string_view::npos)
                    return false;
                attribute.quote = q;
                attribute.value = {i + 1, closeAt};
                i = closeAt + 1;
            } else {
                const size_t valueBegin = i;
                while (i < n && !(classOf(s[i]) & (kSpace | kGreater)))
                    ++i;
                attribute.value = {valueBegin, i};
            }
            attribute.whole = {nameBegin, i};
        } else {
            i = after;
        }
    }
    return false;
}

// What a kept tag's attributes are looked up by later, noted while its bytes are at hand:
// each name's lower-case bytes, and whether each value holds more than white space.
void noteLookups(std::string_view page, std::vector<TagAttribute>& attributes)
{
    for (TagAttribute& a : attributes) {
        a.lowerName = static_cast<uint32_t>(text::lowerPacked(page, a.name.begin, std::min<size_t>(4, a.name.size()))); // as keyOf packs
        size_t at = a.value.begin;
        while (at < a.value.end && (classOf(page[at]) & kSpace))
            ++at;
        a.filled = at < a.value.end;
    }
}

bool startsWithLower(std::string_view page, size_t at, std::string_view lower)
{
    return at + lower.size() <= page.size() && equalsLower(page.substr(at, lower.size()), lower);
}

// Where a comment whose "<!--" ends at `from` closes, one past its ">".
size_t commentEnd(std::string_view page, size_t from)
{
    const size_t n = page.size();
    if (from < n && page[from] == '>')
        return from + 1; // <!-->
    if (from + 1 < n && page[from] == '-' && page[from + 1] == '>')
        return from + 2; // <!--->
    for (size_t at = from;; at += 2) {
        at = page.find("--", at);
        if (at == std::string_view::npos)
            return at;
        while (at + 2 < n && page[at + 2] == '-')
            ++at; // "--->" closes as well
        if (at + 2 < n && page[at + 2] == '>')
            return at + 3;
        if (at + 3 < n && page[at + 2] == '!' && page[at + 3] == '>')
            return at + 4;
    }
}

// One open element inside svg or math content. HTML elements within integration points
// are not kept: only the foreign ones decide how the following tags are read.
struct ForeignElement {
    ByteRange name;
    bool math = false;
    bool htmlPoint = false; // foreignObject, desc, title, annotation-xml as HTML
    bool mathText = false;  // mi, mo, mn, ms, mtext
    ByteRange enclosing;    // for svg and math: the HTML start tag just before, likely their parent
    bool html = false;      // an HTML element inside an integration point
};

class Finder {
public:
    explicit Finder(std::string_view page, PageWalk* walk = nullptr) : page_(page), walk_(walk), tellImages_(walk && walk->wantsImages()) {}

    // The first <base href> read so far.
    const std::optional<ByteRange>& baseHref() const { return found_.baseHref; }

    FoundImages run()
    {
        resume();
        if (background_) {
            found_.images.insert(found_.images.begin(), std::move(*background_));
        }
        return std::move(found_);
    }

    // Reads on until the walk pauses (true) or the page is read to its end (false).
    bool resume()
    {
        while (pos_ < page_.size()) {
            const size_t lt = findByte(page_, pos_, '<');
            if (lt == std::string_view::npos || lt + 1 >= page_.size()) {
                pos_ = page_.size();
                break;
            }
            const char c = page_[lt + 1];
            if (walk_ && lt > text_ && (isAlpha(c) || c == '/' || c == '!' || c == '?') && walk_->textWanted())
                walk_->text({text_, lt}); // markup follows: "a < b" is text
            const size_t next = markup(lt);
            if (next == std::string_view::npos) {
                textToEnd_ = c == '/' && lt + 2 >= page_.size(); // "</" at the end is text
                text_ = lt;
                pos_ = page_.size();
                break;
            }
            if (next != lt + 1)
                text_ = next;
            pos_ = next;
            if (walk_ && walk_->pause())
                return true;
        }
        if (walk_ && textToEnd_ && text_ < page_.size())
            walk_->text({text_, page_.size()});
        textToEnd_ = false; // told once
        return false;
    }

private:
    // Reads what starts at the "<" at `lt`; gives where text resumes, npos when nothing
    // after it can hold a tag.
    size_t markup(size_t lt)
    {
        const char c = page_[lt + 1];
        if (isAlpha(c))
            return startTag(lt);
        if (c == '/') {
            if (lt + 2 >= page_.size())
                return std::string_view::npos;
            const char d = page_[lt + 2];
            if (isAlpha(d))
                return endTag(lt + 2);
            if (d == '>')
                return lt + 3;
            return skipTo(lt + 2, '>'); // bogus comment
        }
        if (c == '?')
            return skipTo(lt + 2, '>');
        if (c == '!') {
            const size_t at = lt + 2;
            if (page_.compare(at, 2, "--") == 0)
                return commentEnd(page_, at + 2);
            if (startsWithLower(page_, at, "doctype"))
                return skipTo(at + 7, '>');
            if (inForeignElement() && page_.compare(at, 7, "[CDATA[") == 0) {
                const size_t close = page_.find("]]>", at + 7);
                return close == std::string_view::npos ? close : close + 3;
            }
            return skipTo(at, '>');
        }
        return lt + 1;
    }

    size_t skipTo(size_t from, char c)
    {
        const size_t at = findByte(page_, from, c);
        return at == std::string_view::npos ? at : at + 1;
    }

    bool inForeignElement() const { return !foreign_.empty() && !foreign_.back().html; }

    // Whether the tree builder takes a start tag by its HTML rules here.
    bool htmlRules(Name name) const
    {
        if (foreign_.empty())
            return true;
        const ForeignElement& top = foreign_.back();
        if (top.html)
            return true;
        if (top.mathText)
            return name != Name::MathGlyph;
        return top.htmlPoint;
    }

    size_t startTag(size_t lt)
    {
        Lexed tag;
        if (!lexTag(page_, lt + 1, tag, attributes_))
            return std::string_view::npos;
        const uint64_t key = packedName(page_, tag.name);
        const NameInfo info = lookUp(page_, tag.name, key);
        Name name = info.name;
        if (!htmlRules(name)) {
            const bool breakout = name == Name::Breakout || name == Name::Img || name == Name::Body ||
                                  (name == Name::Font && (attr("color") || attr("face") || attr("size")));
            if (!breakout) {
                if (!tag.selfClosing)
                    pushForeign(tag.name, info);
                return tag.end;
            }
            while (!foreign_.empty() && !foreign_.back().htmlPoint && !foreign_.back().mathText && !foreign_.back().html)
                foreign_.pop_back();
        }
        const ByteRange before = std::exchange(lastHtml_, tag.name);
        const std::optional<ImageKind> kind = imageKind(name);
        const bool graphic = name != Name::Img && name != Name::Image && name != Name::Input && name != Name::Area && hasImageRole();
        if (walk_ && tellImages_ && (kind || graphic)) {
            if (kind)
                walk_->image(told(scratch_, lt, tag, *kind));
            else
                walk_->graphic({told(scratch_, lt, tag, ImageKind::Img).tag, name == Name::Svg});
            std::swap(scratch_.tag.attributes, attributes_); // lent, not copied
        }
        if (walk_)
            walk_->startTag({lt, tag.end}, tag.name, key, attributes_);
        else if (kind)
            found_.images.push_back({*kind, makeTag(lt, tag)});
        else if (graphic)
            found_.graphics.push_back({makeTag(lt, tag), name == Name::Svg});
        switch (name) {
        case Name::Body:
            // A body tag within a template is dropped; later ones add their attributes.
            if (!background_ && templates_ == 0 && attr("background")) {
                background_.emplace();
                background_->kind = ImageKind::Background;
                background_->tag = makeTag(lt, tag);
            }
            break;
        case Name::Base:
            if (!found_.baseHref && templates_ == 0)
                if (const TagAttribute* href = attr("href"))
                    found_.baseHref = href->value;
            break;
        case Name::Svg:
        case Name::Math:
            if (!tag.selfClosing)
                foreign_.push_back({tag.name, name == Name::Math, false, false, before});
            return tag.end;
        case Name::Template:
            ++templates_;
            break;
        case Name::RawText:
            return rawTextEnd(tag.end, tag.name);
        case Name::Plaintext:
            if (walk_ && tag.end < page_.size())
                walk_->text({tag.end, page_.size()});
            return std::string_view::npos;
        default:
            break;
        }
        if (!foreign_.empty() && !info.isVoid && name != Name::Body)
            foreign_.push_back({tag.name, false, false, false, {}, true});
        return tag.end;
    }

    void pushForeign(ByteRange name, const NameInfo& info)
    {
        ForeignElement element{name, foreign_.back().math, false, false, {}};
        if (!element.math) {
            element.htmlPoint = info.name == Name::SvgPoint || info.svgTitle;
        } else if (info.name == Name::MathText) {
            element.mathText = true;
        } else if (info.name == Name::AnnotationXml) {
            const TagAttribute* encoding = attr("encoding");
            element.htmlPoint = encoding && (equalsLower(encoding->value.of(page_), "text/html") ||
                                             equalsLower(encoding->value.of(page_), "application/xhtml+xml"));
        } else if (info.name == Name::Svg && equalsLower(foreign_.back().name.of(page_), "annotation-xml")) {
            element.math = false;
        }
        foreign_.push_back(element);
    }

    size_t endTag(size_t nameAt)
    {
        Lexed tag;
        if (!lexTag(page_, nameAt, tag, attributes_))
            return std::string_view::npos;
        const std::string_view name = tag.name.of(page_);
        if (!foreign_.empty()) {
            const bool foreign = !foreign_.back().html;
            // One that names no open foreign element is read by HTML rules.
            if (!(closeForeign(name, !foreign) && foreign) && walk_)
                walk_->endTag({nameAt - 2, tag.end}, tag.name, packedName(page_, tag.name));
            return tag.end;
        }
        if (walk_)
            walk_->endTag({nameAt - 2, tag.end}, tag.name, packedName(page_, tag.name));
        if (templates_ > 0 && equalsLower(name, "template"))
            --templates_;
        return tag.end;
    }

    // An end tag in or under svg or math. A foreign current element is closed by its name;
    // from an HTML one only HTML elements are looked for, up to the integration point. True
    // when it closed an element of its name.
    bool closeForeign(std::string_view name, bool fromHtml)
    {
        for (size_t i = foreign_.size(); i-- > 0 && foreign_[i].html == fromHtml;) {
            if (text::equalsNoCase(name, foreign_[i].name.of(page_))) {
                foreign_.resize(i);
                return true;
            }
        }
        if (fromHtml)
            return false;
        // Unmatched: it closes the svg or math when it names their HTML parent, which we take
        // to be the start tag before them; an integration point stops it first.
        for (size_t i = foreign_.size(); i-- > 0;) {
            const ForeignElement& open = foreign_[i];
            if (open.htmlPoint || open.mathText)
                return false;
            const ByteRange parent = open.html ? open.name : open.enclosing;
            if (!parent.empty() && text::equalsNoCase(name, parent.of(page_))) {
                foreign_.resize(i);
                return false;
            }
        }
        return false;
    }

    // Whether "<" + `slash` + the name at `lt` is followed by whitespace, "/" or ">".
    bool namedTagAt(size_t lt, bool slash, std::string_view name) const
    {
        const size_t at = lt + 1 + slash, after = at + name.size();
        return after < page_.size() && (!slash || page_[lt + 1] == '/') &&
               (classOf(page_[after]) & (kSpace | kSlash | kGreater)) && text::equalsNoCase(page_.substr(at, name.size()), name);
    }

    // Skips the text of a raw text or RCDATA element up to its end tag, which it lexes too.
    // In a script, "<!--" hides a "<script>" whose "</script>" then does not end it.
    size_t rawTextEnd(size_t from, ByteRange nameRange)
    {
        const std::string_view name = nameRange.of(page_);
        const bool script = equalsLower(name, "script");
        enum { Text, Escaped, DoubleEscaped } state = Text;
        size_t close = 0;
        bool closeKnown = false;
        for (size_t at = from;;) {
            const size_t lt = findByte(page_, at, '<');
            if (state != Text) {
                if (!closeKnown || close < at) // kept while ahead: a script may hold many "<"
                    close = page_.find("-->", at);
                closeKnown = true;
                if (close != std::string_view::npos && close < lt) {
                    state = Text;
                    at = close + 3;
                    continue;
                }
            }
            if (lt == std::string_view::npos)
                return lt;
            at = lt + 1;
            if (state == DoubleEscaped) {
                if (namedTagAt(lt, true, name)) {
                    state = Escaped;
                    at = lt + 3 + name.size();
                }
            } else if (namedTagAt(lt, true, name)) {
                return endTag(lt + 2);
            } else if (script && state == Text && page_.compare(lt + 1, 3, "!--") == 0) {
                state = Escaped;
                at = lt + 2; // its dashes may close it again: <!-->
            } else if (state == Escaped && namedTagAt(lt, false, name)) {
                state = DoubleEscaped;
                at = lt + 2 + name.size();
            }
        }
    }

    const TagAttribute* attr(std::string_view lower) const { return StartTag::firstNamed(page_, attributes_, lower); }

    // role="img" (or "image"): the first of its words, as the role's readers take it.
    bool hasImageRole() const
    {
        for (const TagAttribute& a : attributes_) {
            if (a.name.size() != 4 || !equalsLower(a.name.of(page_), "role"))
                continue;
            std::string_view value = a.value.of(page_);
            while (!value.empty() && (classOf(value.front()) & kSpace))
                value.remove_prefix(1);
            size_t end = 0;
            while (end < value.size() && !(classOf(value[end]) & kSpace))
                ++end;
            return equalsLower(value.substr(0, end), "img") || equalsLower(value.substr(0, end), "image");
        }
        return false;
    }

    StartTag makeTag(size_t lt, const Lexed& tag) const
    {
        StartTag made;
        made.whole = {lt, tag.end};
        made.name = tag.name;
        made.attributes = attributes_;
        noteLookups(page_, made.attributes);
        made.selfClosing = tag.selfClosing;
        return made;
    }

    // The image a start tag makes, if any. <image> outside svg and math: the tree builder
    // makes it an img, as gumbo and browsers do.
    std::optional<ImageKind> imageKind(Name name) const
    {
        switch (name) {
        case Name::Img:
        case Name::Image:
            return ImageKind::Img;
        case Name::Input:
            if (const TagAttribute* type = attr("type"); type && equalsLower(type->value.of(page_), "image"))
                return ImageKind::InputImage;
            return std::nullopt;
        case Name::Area:
            return attr("href") ? std::optional(ImageKind::Area) : std::nullopt;
        default:
            return std::nullopt;
        }
    }

    // The tag as a walk is told it, its attributes lent until the walk has it.
    const FoundImage& told(FoundImage& into, size_t lt, const Lexed& tag, ImageKind kind)
    {
        into.kind = kind;
        into.tag.whole = {lt, tag.end};
        into.tag.name = tag.name;
        std::swap(into.tag.attributes, attributes_);
        noteLookups(page_, into.tag.attributes);
        into.tag.selfClosing = tag.selfClosing;
        return into;
    }

    std::string_view page_;
    PageWalk* walk_;
    const bool tellImages_;
    FoundImage scratch_; // the image or graphic told to the walk
    size_t pos_ = 0, text_ = 0; // text_: where text not yet told to the walk begins
    bool textToEnd_ = true;     // false once the rest of the page is a comment, a tag or raw text
    FoundImages found_;
    std::optional<FoundImage> background_;
    std::vector<TagAttribute> attributes_; // of the tag being read, reused
    std::vector<ForeignElement> foreign_;
    ByteRange lastHtml_; // name of the latest start tag read by HTML rules
    size_t templates_ = 0;
};

} // namespace

bool TagAttribute::spelledAs(std::string_view page, std::string_view lower) const
{
    return equalsLower(name.of(page), lower);
}

bool startTagAt(std::string_view page, size_t lt, StartTag& tag)
{
    Lexed lexed;
    if (lt + 1 >= page.size() || !lexTag(page, lt + 1, lexed, tag.attributes))
        return false;
    noteLookups(page, tag.attributes);
    tag.whole = {lt, lexed.end};
    tag.name = lexed.name;
    tag.selfClosing = lexed.selfClosing;
    return true;
}

std::optional<StartTag> startTagAt(std::string_view page, size_t lt)
{
    StartTag tag;
    return startTagAt(page, lt, tag) ? std::optional(std::move(tag)) : std::nullopt;
}

std::optional<ByteRange> baseHrefOf(std::string_view page)
{
    // Most pages have none: "<base" is looked for before the page is read as the finder reads it.
    if (text::inStrNoCase(page, "<base", 1) == 0)
        return std::nullopt;
    struct Nothing : PageWalk {
        void startTag(ByteRange, ByteRange, uint64_t, const std::vector<TagAttribute>&) override {}
        void endTag(ByteRange, ByteRange, uint64_t) override {}
        void text(ByteRange) override {}
    } nothing;
    Finder finder(page, &nothing);
    finder.resume();
    return finder.baseHref();
}

FoundImages findImages(std::string_view page)
{
    return Finder(page).run();
}

void walkPage(std::string_view page, PageWalk& walk)
{
    Finder(page, &walk).run();
}

PageWalker::PageWalker(std::string_view page, PageWalk& walk)
    : resume_([finder = std::make_shared<Finder>(page, &walk)] { return finder->resume(); })
{
}

} // namespace bw
