#include "page/AltRules.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <optional>
#include <string>

#include "text/PictureWords.h"
#include "text/Text.h"

namespace bw {
namespace {

constexpr size_t kTooLong = 150;

// Where the last "/" or "\\" stands, or npos (find_last_of asks memchr once a byte).
size_t lastSlash(std::string_view s)
{
    for (size_t i = s.size(); i-- > 0;)
        if (s[i] == '/' || s[i] == '\\')
            return i;
    return std::string_view::npos;
}

// The last part of a path or address, without its query or fragment.
std::string_view lastPart(std::string_view name)
{
    name = name.substr(0, std::min(name.find('?'), name.find('#')));
    const size_t slash = lastSlash(name);
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool joins(char c) { return c == '_' || c == '-' || c == '.'; }

size_t digitsAt(std::string_view s, size_t at)
{
    size_t end = at;
    while (end < s.size() && isDigit(s[end]))
        ++end;
    return end - at;
}

// Lower case, each run of "_", "-", "." and spaces one "_": how a name and an ALT that spells
// it with other joins compare.
std::string joinedWords(std::string_view s)
{
    std::string out;
    for (char c : s) {
        if (joins(c) || text::isHtmlSpace(c)) {
            if (!out.empty() && out.back() != '_')
                out += '_';
        } else {
            out += text::lowerAscii(c);
        }
    }
    if (!out.empty() && out.back() == '_')
        out.pop_back();
    return out;
}

// What a folded ALT holds, read in one pass: most ALTs are a few words, and the rules about
// file names, which need one word, a join or a slash, are not asked of them.
struct Shape {
    bool oneWord, joined, slash, dashOrUnderscore;
};

Shape shapeOf(std::string_view alt)
{
    enum : uint8_t { kSpace = 1, kJoin = 2, kSlash = 4, kDash = 8 };
    static constexpr auto kBits = [] {
        std::array<uint8_t, 256> bits{};
        bits[' '] = kSpace;
        bits['.'] = kJoin;
        bits['_'] = bits['-'] = kJoin | kDash;
        bits['/'] = bits['\\'] = kSlash;
        return bits;
    }();
    unsigned seen = 0;
    for (const char c : alt)
        seen |= kBits[static_cast<unsigned char>(c)];
    return {!(seen & kSpace), (seen & kJoin) != 0, (seen & kSlash) != 0, (seen & kDash) != 0};
}

// "sun.png", and "sun_png" for a name whose dot became a join.
bool endsWithImageExtension(const std::string& alt, const Shape& shape)
{
    static constexpr std::string_view kExtensions[] = {"png", "jpg", "jpeg", "gif", "svg", "webp", "bmp",
                                               "ico", "avif", "tif", "tiff", "jfif"};
    const bool oneWord = shape.oneWord;
    if (!shape.joined)
        return false; // no extension can be joined on
    for (std::string_view extension : kExtensions) {
        if (alt.size() <= extension.size() + 1 || !alt.ends_with(extension))
            continue;
        const char before = alt[alt.size() - extension.size() - 1];
        if (before == '.' || (oneWord && joins(before)))
            return true;
    }
    return false;
}

// "../_images/tk_msg", "./logo", "img/a.b": a path, not words ("TCP/IP", "and/or").
bool looksLikePath(const std::string& alt, const Shape& shape)
{
    if (!shape.slash || !shape.oneWord)
        return false;
    const size_t slash = lastSlash(alt);
    return alt.front() == '.' || alt.front() == '/' || alt.front() == '\\' || alt.find('.', slash) != std::string::npos;
}

// What cameras, phones and screenshot tools name their files: IMG_1234, DSC00012, P1010123,
// image001, screenshot_2024-01-02, "Screen Shot 2019-05-01 at 10.22.33".
bool looksLikeCameraName(const std::string& alt, const Shape& shape)
{
    static constexpr std::string_view kScreenshots[] = {"screenshot", "screen shot", "screen_shot", "screen-shot", "snapshot", "capture"};
    for (std::string_view start : kScreenshots) {
        if (alt[0] != start[0] || !alt.starts_with(start))
            continue;
        size_t at = start.size();
        while (at < alt.size() && (alt[at] == ' ' || joins(alt[at])))
            ++at;
        if (alt.compare(at, 4, "from") == 0)
            for (at += 4; at < alt.size() && (alt[at] == ' ' || joins(alt[at]));)
                ++at;
        if (digitsAt(alt, at) >= 4) // a date
            return true;
    }
    if (!shape.oneWord)
        return false;
    static constexpr std::string_view kCameras[] = {"img", "dsc", "dscn", "dscf", "dcim", "pict", "pxl", "mvimg", "imag", "gopr",
                                            "dji", "sam", "wp", "image", "photo", "scan", "pic"};
    for (std::string_view start : kCameras) {
        if (!alt.starts_with(start))
            continue;
        const size_t at = start.size() + (start.size() < alt.size() && (alt[start.size()] == '_' || alt[start.size()] == '-'));
        if (digitsAt(alt, at) >= 3)
            return true;
    }
    return alt.size() == 8 && alt[0] == 'p' && digitsAt(alt, 1) == 7;
}

// What the picture is named, without its folder or extension ("img/Prev.png?v=1" gives "prev").
std::string pictureStem(std::string_view fileName)
{
    const std::string file = foldedAlt(lastPart(fileName));
    return file.substr(0, file.rfind('.'));
}

bool looksLikeFileName(const std::string& alt, std::string_view fileName, const Shape& shape)
{
    if (endsWithImageExtension(alt, shape) || looksLikePath(alt, shape) || looksLikeCameraName(alt, shape))
        return true;
    // Words joined as file names join them, repeating the picture's name: "main_screen_png"
    // (a dot alone joins a domain's words: "gimp.org" on gimp-org.png is a name).
    if (!shape.oneWord || !shape.dashOrUnderscore)
        return false;
    const std::string file = foldedAlt(lastPart(fileName)), words = joinedWords(alt);
    return !file.empty() && (words == joinedWords(file) || words == joinedWords(pictureStem(fileName)));
}

// One word that is the picture's name: right for "Prev" on prev.png or "1" on 1.png, yet
// "logo" on logo.png may say too little.
bool namesPicture(const std::string& alt, std::string_view fileName, const Shape& shape)
{
    static constexpr std::string_view kNavigation[] = {"prev", "previous", "next", "up", "home", "top", "back", "forward",
                                               "index", "contents", "toc", "search", "help", "first", "last"};
    // One word of letters and digits: most ALTs have several.
    if (!shape.oneWord || shape.joined || shape.slash || alt.empty() || !std::all_of(alt.begin(), alt.end(), [](char c) { return (static_cast<unsigned char>(c) & 0x80) || isDigit(c) || static_cast<unsigned char>((c | 0x20) - 'a') < 26; }))
        return false;
    if (std::find(std::begin(kNavigation), std::end(kNavigation), alt) != std::end(kNavigation))
        return false;
    return !std::all_of(alt.begin(), alt.end(), isDigit) && alt == pictureStem(fileName);
}

bool isPlaceholder(std::string_view alt)
{
    static constexpr std::string_view kWords[] = {"image", "images", "picture", "pic", "photo", "photograph", "graphic",
                                          "spacer", "bullet", "blank", "untitled", "img", "alt", "alt text",
                                          "placeholder", "icon", "*", "-", ".", "x"};
    // "Image." and "photo:" are the same placeholder.
    while (alt.size() > 1 && (alt.back() == '.' || alt.back() == ':' || alt.back() == '!'))
        alt.remove_suffix(1);
    static constexpr size_t kLongest = std::max_element(std::begin(kWords), std::end(kWords), [](auto a, auto b) { return a.size() < b.size(); })->size();
    return alt.size() <= kLongest && std::find(std::begin(kWords), std::end(kWords), alt) != std::end(kWords);
}

bool beginsImageOf(const std::string& alt)
{
    for (std::string_view start : {"image of", "picture of", "photo of", "graphic of"})
        if (alt.starts_with(start) && (alt.size() == start.size() || alt[start.size()] == ' '))
            return true;
    return false;
}

// Whether an svg has a <title> with text among what it holds before its end tag.
bool hasSvgTitle(std::string_view page, const StartTag& svg)
{
    if (svg.selfClosing)
        return false;
    for (size_t at = page.find('<', svg.whole.end); at != std::string_view::npos; at = page.find('<', at + 1)) {
        if (text::equalsNoCase(page.substr(at, 5), "</svg"))
            return false;
        const std::optional<StartTag> tag = startTagAt(page, at);
        if (!tag || !text::equalsNoCase(tag->name.of(page), "title"))
            continue;
        const size_t end = text::inStrNoCase(page, "</title", tag->whole.end + 1);
        const std::string_view title = page.substr(tag->whole.end, end == 0 ? std::string_view::npos : end - 1 - tag->whole.end);
        return !foldedAlt(title).empty();
    }
    return false;
}

// Whether foldedAlt(s) == folded, with nothing made on the way: texts are compared with every ALT.
bool foldsTo(std::string_view s, std::string_view folded)
{
    size_t at = 0;
    bool space = false;
    for (const char c : s) {
        if (const bool white = text::isHtmlSpace(c); white) {
            space = at > 0;
            continue;
        }
        if (space && (at >= folded.size() || folded[at++] != ' '))
            return false;
        space = false;
        if (at >= folded.size() || folded[at++] != text::lowerAscii(c))
            return false;
    }
    return at == folded.size();
}

} // namespace

const AltRule* graphicFinding(std::string_view page, const FoundGraphic& graphic)
{
    for (std::string_view name : {"aria-label", "aria-labelledby", "title"})
        if (const TagAttribute* a = graphic.tag.find(page, name); a && !foldedAlt(a->value.of(page)).empty())
            return nullptr;
    if (!graphic.svg)
        return altRule("role-img-alt");
    return hasSvgTitle(page, graphic.tag) ? nullptr : altRule("svg-img-alt");
}

std::string foldedAlt(std::string_view s)
{
    std::string out;
    foldAlt(s, out);
    return out;
}

void foldAlt(std::string_view s, std::string& out)
{
    out.resize(s.size());
    char* const begin = out.data();
    char* end = begin;
    for (const char c : s) {
        if (!text::isHtmlSpace(c))
            *end++ = text::lowerAscii(c);
        else if (end != begin && end[-1] != ' ')
            *end++ = ' ';
    }
    out.resize(static_cast<size_t>(end - begin) - (end != begin && end[-1] == ' '));
}

const std::vector<AltRule>& altRules()
{
    static const std::vector<AltRule> rules = {
        {"missing-alt", Severity::Error, "The image has no ALT text; give it one, or alt=\"\" if it is decorative."},
        {"missing-alt-titled", Severity::Error, "The image has no ALT text, only a title, which is not a text alternative; give it an ALT, or alt=\"\" if it is decorative."},
        {"alt-aria-label-only", Severity::Warning, "The image is named by aria-label alone, which some tools do not read; give it an ALT text."},
        {"alt-aria-labelledby-only", Severity::Warning, "The image is named by aria-labelledby alone, which some tools do not read; give it an ALT text."},
        {"missing-alt-captioned", Severity::Note, "The image has no ALT text, but its figure has a caption; give it an ALT unless the caption says what it shows."},
        {"alt-whitespace", Severity::Error, "The ALT text is only spaces; a screen reader says nothing useful."},
        {"alt-is-filename", Severity::Error, "The ALT text is a file name; say what the picture shows or does."},
        {"alt-same-as-filename", Severity::Note, "The ALT text is the picture's file name; check that it says what the picture shows or does."},
        {"alt-placeholder", Severity::Error, "The ALT text is a placeholder word; say what the picture shows or does."},
        {"alt-image-of", Severity::Error, "Screen readers already say it is an image; leave out \"image of\"."},
        {"alt-redundant-link", Severity::Error, "The ALT text repeats the link's text; a reader hears it twice."},
        {"alt-redundant-caption", Severity::Error, "The ALT text repeats the caption; a reader hears it twice."},
        {"alt-too-long", Severity::Warning, "The ALT text is over 150 characters; put a long description in the page."},
        {"svg-img-alt", Severity::Error, "The svg with role=\"img\" has no accessible name; give it a <title>, an aria-label or an aria-labelledby."},
        {"role-img-alt", Severity::Error, "The element with role=\"img\" has no accessible name; give it an aria-label or an aria-labelledby."},
        {"alt-misses-picture-text", Severity::Warning, "The picture shows text that its ALT text leaves out; a picture of text needs that text."},
        {"alt-conflict", Severity::Note, "This picture has different ALT texts on different pages."},
    };
    return rules;
}

const AltRule* pictureTextFinding(std::optional<std::string_view> alt, std::string_view pictureText)
{
    // No ALT and an empty one are the other rules' concern.
    if (!alt || foldedAlt(*alt).empty() || foldedWords(pictureText).empty() || altHoldsPictureText(*alt, pictureText))
        return nullptr;
    return altRule("alt-misses-picture-text");
}

const AltRule* altRule(std::string_view id)
{
    for (const AltRule& rule : altRules())
        if (id == rule.id)
            return &rule;
    return nullptr;
}

size_t altLength(std::string_view alt)
{
    size_t length = 0;
    bool space = false; // a run of white space waiting to count as one, unless it ends the text
    for (const char c : alt) {
        if (text::isHtmlSpace(c)) {
            space = length > 0;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            length += 1 + space;
            space = false;
        }
    }
    return length;
}

AltFindings altFindings(std::optional<std::string_view> alt, const AltContext& context, std::string* folded)
{
    // Looked up once: this runs for every image of a site.
    struct Rules {
        const AltRule *ariaLabel = altRule("alt-aria-label-only"), *ariaLabelledby = altRule("alt-aria-labelledby-only"),
                      *captioned = altRule("missing-alt-captioned"), *missing = altRule("missing-alt"),
                      *titled = altRule("missing-alt-titled"), *whitespace = altRule("alt-whitespace"),
                      *fileName = altRule("alt-is-filename"), *sameAsFile = altRule("alt-same-as-filename"),
                      *placeholder = altRule("alt-placeholder"), *imageOf = altRule("alt-image-of"),
                      *redundantLink = altRule("alt-redundant-link"), *redundantCaption = altRule("alt-redundant-caption"),
                      *tooLong = altRule("alt-too-long");
    };
    static const Rules rules;
    AltFindings found;
    if (folded)
        folded->clear();
    if (!alt) {
        // Named for some readers only; else a figure's caption may already say what it shows.
        if (!text::isBlank(context.ariaLabel))
            found.add(rules.ariaLabel);
        else if (!text::isBlank(context.ariaLabelledby))
            found.add(rules.ariaLabelledby);
        else if (!text::isBlank(context.caption))
            found.add(rules.captioned);
        else
            found.add(text::isBlank(context.title) ? rules.missing : rules.titled);
        return found;
    }
    if (alt->empty())
        return found; // decorative
    std::string own;
    std::string& text = folded ? *folded : own;
    foldAlt(*alt, text);
    if (text.empty()) {
        found.add(rules.whitespace);
        return found;
    }
    const Shape shape = shapeOf(text);
    if (looksLikeFileName(text, context.fileName, shape))
        found.add(rules.fileName);
    else if (namesPicture(text, context.fileName, shape))
        found.add(rules.sameAsFile);
    if (isPlaceholder(text))
        found.add(rules.placeholder);
    if (beginsImageOf(text))
        found.add(rules.imageOf);
    if (foldsTo(context.linkText, text))
        found.add(rules.redundantLink);
    if (foldsTo(context.caption, text))
        found.add(rules.redundantCaption);
    if (alt->size() > kTooLong && altLength(*alt) > kTooLong) // never more characters than bytes
        found.add(rules.tooLong);
    return found;
}

} // namespace bw
