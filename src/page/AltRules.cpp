#include "page/AltRules.h"

#include <algorithm>
#include <array>
#include <string>

#include "text/Text.h"

namespace bw {
namespace {

constexpr size_t kTooLong = 150;

// The last part of a path or address, without its query or fragment.
std::string_view lastPart(std::string_view name)
{
    name = name.substr(0, std::min(name.find('?'), name.find('#')));
    const size_t slash = name.find_last_of("/\\");
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

bool looksLikeFileName(const std::string& alt, std::string_view fileName)
{
    static constexpr std::array kExtensions = {".png", ".jpg", ".jpeg", ".gif", ".svg", ".webp", ".bmp",
                                               ".ico", ".avif", ".tif", ".tiff", ".jfif"};
    const std::string file = foldedAlt(lastPart(fileName));
    if (!file.empty() && (alt == file || alt == file.substr(0, file.rfind('.'))))
        return true;
    for (std::string_view extension : kExtensions)
        if (alt.size() > extension.size() && alt.ends_with(extension))
            return true;
    const bool digitsOnly = std::all_of(alt.begin(), alt.end(), [](char c) { return c >= '0' && c <= '9'; });
    return digitsOnly || (alt.find('_') != std::string::npos && alt.find(' ') == std::string::npos);
}

bool isPlaceholder(std::string alt)
{
    static constexpr std::array kWords = {"image", "images", "picture", "pic", "photo", "photograph", "graphic",
                                          "spacer", "bullet", "blank", "untitled", "img", "alt", "alt text",
                                          "placeholder", "icon", "*", "-", ".", "x"};
    // "Image." and "photo:" are the same placeholder.
    while (alt.size() > 1 && (alt.back() == '.' || alt.back() == ':' || alt.back() == '!'))
        alt.pop_back();
    return std::find(kWords.begin(), kWords.end(), alt) != kWords.end();
}

bool beginsImageOf(const std::string& alt)
{
    for (std::string_view start : {"image of", "picture of", "photo of", "graphic of"})
        if (alt.starts_with(start) && (alt.size() == start.size() || alt[start.size()] == ' '))
            return true;
    return false;
}

} // namespace

std::string foldedAlt(std::string_view s)
{
    std::string out;
    for (char c : s) {
        if (!text::isHtmlSpace(c))
            out += text::lowerAscii(c);
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

const std::vector<AltRule>& altRules()
{
    static const std::vector<AltRule> rules = {
        {"missing-alt", Severity::Error, "The image has no ALT text; give it one, or alt=\"\" if it is decorative."},
        {"missing-alt-captioned", Severity::Note, "The image has no ALT text, but its figure has a caption; give it an ALT unless the caption says what it shows."},
        {"alt-whitespace", Severity::Error, "The ALT text is only spaces; a screen reader says nothing useful."},
        {"alt-is-filename", Severity::Error, "The ALT text is a file name; say what the picture shows or does."},
        {"alt-placeholder", Severity::Error, "The ALT text is a placeholder word; say what the picture shows or does."},
        {"alt-image-of", Severity::Error, "Screen readers already say it is an image; leave out \"image of\"."},
        {"alt-redundant-link", Severity::Error, "The ALT text repeats the link's text; a reader hears it twice."},
        {"alt-redundant-caption", Severity::Error, "The ALT text repeats the caption; a reader hears it twice."},
        {"alt-too-long", Severity::Warning, "The ALT text is over 150 characters; put a long description in the page."},
        {"alt-conflict", Severity::Note, "This picture has different ALT texts on different pages."},
    };
    return rules;
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
    return static_cast<size_t>(std::count_if(alt.begin(), alt.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::vector<const AltRule*> altFindings(std::optional<std::string_view> alt, const AltContext& context)
{
    std::vector<const AltRule*> found;
    auto add = [&](const char* id) { found.push_back(altRule(id)); };
    if (!alt) {
        // A figure's caption may already say what the picture shows.
        add(foldedAlt(context.caption).empty() ? "missing-alt" : "missing-alt-captioned");
        return found;
    }
    if (alt->empty())
        return found; // decorative
    const std::string text = foldedAlt(*alt);
    if (text.empty()) {
        add("alt-whitespace");
        return found;
    }
    if (looksLikeFileName(text, context.fileName))
        add("alt-is-filename");
    if (isPlaceholder(text))
        add("alt-placeholder");
    if (beginsImageOf(text))
        add("alt-image-of");
    if (text == foldedAlt(context.linkText))
        add("alt-redundant-link");
    if (text == foldedAlt(context.caption))
        add("alt-redundant-caption");
    if (altLength(*alt) > kTooLong)
        add("alt-too-long");
    return found;
}

} // namespace bw
