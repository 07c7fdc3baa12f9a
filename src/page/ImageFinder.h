#pragma once
// Finds the images of a page the way a browser's HTML tokenizer sees its tags: every start
// tag outside comments, raw text (script, style, textarea, title, xmp, iframe, noembed,
// noframes), CDATA in svg/math, doctypes and bogus comments.
#include <optional>
#include <string_view>
#include <vector>

#include "page/ByteRange.h"

namespace bw {

struct TagAttribute {
    ByteRange whole; // name through value, closing quote included
    ByteRange name;
    ByteRange value; // without quotes; empty at name.end when written without "="
    char quote = 0;  // '"', '\'' or 0 (unquoted or no value)
    bool hasValue = false;
    // The name equals `lower` (given in lower case) without regard to ASCII case.
    bool named(std::string_view page, std::string_view lower) const;
};

struct StartTag {
    ByteRange whole;   // "<" through ">"
    ByteRange name;    // the element name as written
    std::vector<TagAttribute> attributes; // in page order, duplicates included
    bool selfClosing = false; // ends in "/>"
    // The first attribute of that name (given in lower case): later duplicates do not count.
    const TagAttribute* find(std::string_view page, std::string_view lower) const;
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

struct FoundImages {
    std::vector<FoundImage> images;   // in page order; a body background first of all
    std::optional<ByteRange> baseHref; // value of the first <base href>, as written
};

FoundImages findImages(std::string_view page);

// The start tag whose "<" stands at lt, read as the tokenizer reads tags; nothing when the page
// ends inside it.
std::optional<StartTag> startTagAt(std::string_view page, size_t lt);

} // namespace bw
