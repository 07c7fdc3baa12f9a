#pragma once
// Finds the images of a page the way a browser's HTML tokenizer sees its tags: every start
// tag outside comments, raw text (script, style, textarea, title, xmp, iframe, noembed,
// noframes), CDATA in svg/math, doctypes and bogus comments.
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "page/ByteRange.h"
#include "text/Text.h"

namespace bw {

struct TagAttribute {
    ByteRange whole; // name through value, closing quote included
    ByteRange name;
    ByteRange value; // without quotes; empty at name.end when written without "="
    char quote = 0;  // '"', '\'' or 0 (unquoted or no value)
    bool hasValue = false;
    // Noted for the tags findImages() and startTagAt() give, so that looking their attributes
    // up seldom goes back to the page: the value holds more than white space (false: not
    // known), and the name's first four bytes in lower case, packed into one word (0: not known).
    bool filled = false;
    uint32_t lowerName = 0;
    // The name equals `lower` (given in lower case) without regard to ASCII case.
    bool named(std::string_view page, std::string_view lower) const { return named(page, lower, keyOf(lower)); }
    // The same, with keyOf(lower) made once for many attributes. Inline, so that the key of a
    // name written in the code is made as it is compiled: every image's ALT is looked up.
    bool named(std::string_view page, std::string_view lower, uint32_t key) const
    {
        if (name.size() != lower.size())
            return false; // most names differ in length
        if (lowerName != 0 && (lowerName != key || lower.size() <= 4))
            return lowerName == key; // the noted bytes decide
        return spelledAs(page, lower);
    }
    // A name's first four bytes packed, as lowerName notes them.
    static uint32_t keyOf(std::string_view lower) { return static_cast<uint32_t>(text::lowerPacked(lower, 0, lower.size() < 4 ? lower.size() : 4)); }

private:
    bool spelledAs(std::string_view page, std::string_view lower) const;
};

struct StartTag {
    ByteRange whole;   // "<" through ">"
    ByteRange name;    // the element name as written
    std::vector<TagAttribute> attributes; // in page order, duplicates included
    bool selfClosing = false; // ends in "/>"
    // The first attribute of that name (given in lower case): later duplicates do not count.
    const TagAttribute* find(std::string_view page, std::string_view lower) const { return firstNamed(page, attributes, lower); }

    // The same in any list of attributes.
    static const TagAttribute* firstNamed(std::string_view page, const std::vector<TagAttribute>& attributes, std::string_view lower)
    {
        const uint32_t key = TagAttribute::keyOf(lower);
        for (const TagAttribute& attribute : attributes)
            if (attribute.named(page, lower, key))
                return &attribute;
        return nullptr;
    }
};

enum class ImageKind {
    Img,        // <img>
    InputImage, // <input type=image>
    Area,       // <area href=...>
    Background, // <body background=...>: shown, never given an ALT
};

struct FoundImage {
    ImageKind kind = ImageKind::Img;
    StartTag tag;
};

// An element that says it is an image without being one of the above: <svg role="img">, or
// any element with role="img" (a drawing made of boxes, an emoji in a span).
struct FoundGraphic {
    StartTag tag;
    bool svg = false;
};

struct FoundImages {
    std::vector<FoundImage> images;   // in page order; a body background first of all
    std::optional<ByteRange> baseHref; // value of the first <base href>, as written
    std::vector<FoundGraphic> graphics; // in page order
};

FoundImages findImages(std::string_view page);

// What the tokenizer meets besides images, told in page order by walkPage(): the same tags
// and text findImages() reads, so that a reader of the page's text agrees with it on images.
class PageWalk {
public:
    virtual ~PageWalk() = default;
    // A start tag read by HTML rules, images included; the attributes last until the next call.
    // `key`: the name's bytes in lower case packed into one word (text::lowerPacked), for names
    // of up to eight bytes; 0 for longer ones and those holding a NUL.
    virtual void startTag(ByteRange whole, ByteRange name, uint64_t key, const std::vector<TagAttribute>& attributes) = 0;
    // An end tag read by HTML rules: outside svg and math, or one that no element there takes.
    virtual void endTag(ByteRange whole, ByteRange name, uint64_t key) = 0;
    // Text a browser shows, as written (references unresolved): not comments, raw text, CDATA.
    // Between tags, told only while textWanted().
    virtual void text(ByteRange range) = 0;
    // False while the walk would pass text by: most text stands outside all a walk looks for,
    // and every stretch of it on every page was a call.
    bool textWanted() const { return textWanted_; }
    // Asked after each tag, comment or stretch of raw text: true stops a PageWalker there.
    virtual bool pause() { return false; }
    // True for a walk that is told the images (a body background aside) and role="img"
    // elements as findImages() finds them, each just before its startTag(): for a reader that
    // needs the page once and never holds all of its images. Asked once, when the walk begins.
    virtual bool wantsImages() const { return false; }
    // The tag lasts until the next call.
    virtual void image(const FoundImage&) {}
    virtual void graphic(const FoundGraphic&) {}

protected:
    bool textWanted_ = true;
};

// Reads the page as findImages() does, telling `walk` what it meets.
void walkPage(std::string_view page, PageWalk& walk);

// The same walk read a stretch at a time, for a reader that needs only part of the page.
class PageWalker {
public:
    PageWalker(std::string_view page, PageWalk& walk);
    // Reads on until the walk pauses (true) or the page is read to its end (false).
    bool resume() { return resume_(); }

private:
    std::function<bool()> resume_;
};

// The start tag whose "<" stands at lt, read as the tokenizer reads tags; nothing when the page
// ends inside it.
std::optional<StartTag> startTagAt(std::string_view page, size_t lt);
// The same into `tag`, whose attributes' room is reused; false when the page ends inside it.
bool startTagAt(std::string_view page, size_t lt, StartTag& tag);

// The value of the page's first <base href>, as findImages() gives it, without holding images.
std::optional<ByteRange> baseHrefOf(std::string_view page);

} // namespace bw
