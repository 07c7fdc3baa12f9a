#include "page/ImageName.h"

#include <cstdint>

#include "text/CharacterReferences.h"
#include "text/Text.h"

namespace bw {
namespace {

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    c = text::lowerAscii(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && text::isHtmlSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && text::isHtmlSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool startsWithNoCase(std::string_view text, std::string_view lowerPrefix)
{
    if (text.size() < lowerPrefix.size())
        return false;
    for (size_t i = 0; i < lowerPrefix.size(); ++i)
        if (text::lowerAscii(text[i]) != lowerPrefix[i])
            return false;
    return true;
}

// The name of a scheme ("http", "mailto") when the text starts with one.
std::string_view schemeOf(std::string_view text)
{
    if (text.empty() || !isAlpha(text[0]))
        return {};
    for (size_t i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == ':')
            return text.substr(0, i);
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.')
            return {};
    }
    return {};
}

bool isRemote(std::string_view text)
{
    std::string_view scheme = schemeOf(text);
    return (scheme.size() == 4 && startsWithNoCase(scheme, "http")) ||
           (scheme.size() == 5 && startsWithNoCase(scheme, "https")) || text.substr(0, 2) == "//";
}

// Where the address ends before its ?query or #fragment.
size_t endOfPath(std::string_view text)
{
    size_t end = text.find_first_of("?#");
    return end == std::string_view::npos ? text.size() : end;
}

// The folder part, "/" included: "sub/index.html" gives "sub/", "index.html" nothing.
std::string_view folderOf(std::string_view path)
{
    path = path.substr(0, endOfPath(path));
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view{} : path.substr(0, slash + 1);
}

// %XX to its byte; an escape that is not one, or would be a NUL, stays as written.
std::string percentDecoded(std::string_view text, bool keepNul)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int high = hexValue(text[i + 1]), low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0 && (keepNul || high || low)) {
                out += char(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// Forgiving base64: whitespace skipped, padding optional; false on anything else.
bool base64Decoded(std::string_view text, std::string& out)
{
    uint32_t bits = 0;
    int count = 0;
    size_t padding = 0;
    for (char c : text) {
        if (text::isHtmlSpace(c))
            continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        if (padding)
            return false; // data after the padding
        int value;
        if (c >= 'A' && c <= 'Z')
            value = c - 'A';
        else if (c >= 'a' && c <= 'z')
            value = c - 'a' + 26;
        else if (isDigit(c))
            value = c - '0' + 52;
        else if (c == '+')
            value = 62;
        else if (c == '/')
            value = 63;
        else
            return false;
        bits = (bits << 6) | uint32_t(value);
        if (++count == 4) {
            out += char(bits >> 16);
            out += char(bits >> 8);
            out += char(bits);
            bits = 0;
            count = 0;
        }
    }
    if (count == 1 || padding > 2)
        return false;
    if (count == 2)
        out += char(bits >> 4);
    else if (count == 3) {
        out += char(bits >> 10);
        out += char(bits >> 2);
    }
    return true;
}

ImageSource dataSource(std::string_view url)
{
    ImageSource source;
    size_t comma = url.find(',');
    if (comma == std::string_view::npos)
        return source; // no payload: names nothing
    std::string_view header = url.substr(5, comma - 5);
    std::string payload = percentDecoded(url.substr(comma + 1), true);
    size_t semicolon = header.find(';');
    source.kind = ImageSource::Kind::Data;
    source.mediaType = std::string(trim(header.substr(0, semicolon)));
    std::string_view last = semicolon == std::string_view::npos ? std::string_view{} : trim(header.substr(header.rfind(';') + 1));
    if (last.size() == 6 && startsWithNoCase(last, "base64")) {
        if (!base64Decoded(payload, source.data))
            source.data.clear(); // kept as a Data source: the view says it cannot be shown
    } else {
        source.data = std::move(payload);
    }
    return source;
}

// "http://host/a/b.html" -> "http://host/a/" for a relative name, "http://host" for a rooted one.
std::string joinedAddress(std::string_view base, std::string_view name)
{
    base = base.substr(0, endOfPath(base));
    size_t hostStart = base.find("//");
    hostStart = hostStart == std::string_view::npos ? 0 : hostStart + 2;
    size_t pathStart = base.find('/', hostStart);
    if (pathStart == std::string_view::npos)
        return std::string(base) + "/" + std::string(name.front() == '/' ? name.substr(1) : name);
    if (name.front() == '/')
        return std::string(base.substr(0, pathStart)) + std::string(name);
    return std::string(base.substr(0, base.rfind('/') + 1)) + std::string(name);
}

} // namespace

std::string_view writtenName(std::string_view page, const FoundImage& image)
{
    auto value = [&](std::string_view name) -> std::string_view {
        const TagAttribute* attribute = image.tag.find(page, name);
        if (!attribute || attribute->value.end > page.size() || attribute->value.begin > attribute->value.end)
            return {};
        std::string_view text = attribute->value.of(page);
        return !attribute->filled && trim(text).empty() ? std::string_view{} : text;
    };
    switch (image.kind) {
    case ImageKind::Area:
        return value("href");
    case ImageKind::Background:
        return value("background");
    case ImageKind::Img:
    case ImageKind::InputImage:
        break;
    }
    if (std::string_view src = value("src"); !src.empty())
        return src;
    if (std::string_view lazy = value("data-src"); !lazy.empty())
        return lazy;
    std::string_view set = value("srcset");
    size_t begin = 0;
    while (begin < set.size() && (text::isHtmlSpace(set[begin]) || set[begin] == ','))
        ++begin;
    size_t end = begin;
    while (end < set.size() && !text::isHtmlSpace(set[end]))
        ++end;
    while (end > begin && set[end - 1] == ',') // "a.png, b.png 2x": the comma ends the first
        --end;
    return set.substr(begin, end - begin);
}

ImageSource imageSource(std::string_view written, std::string_view baseHref)
{
    // As a browser reads a URL: references decoded, outer spaces and inner tabs and line
    // breaks gone, a NUL read as U+FFFD.
    auto cleaned = [](std::string_view raw) {
        std::string decoded = decodeAttribute(trim(raw));
        std::string out;
        out.reserve(decoded.size());
        for (char c : decoded) {
            if (c == '\t' || c == '\n' || c == '\r')
                continue;
            if (c == '\0')
                out += "\xEF\xBF\xBD";
            else
                out += c;
        }
        return out;
    };
    std::string name = cleaned(written);
    ImageSource source;
    if (name.empty())
        return source;
    if (startsWithNoCase(name, "data:"))
        return dataSource(name);
    if (isRemote(name)) {
        source.kind = ImageSource::Kind::Remote;
        source.path = std::move(name);
        return source;
    }
    if (!schemeOf(name).empty())
        return source; // mailto:, javascript: and the like

    std::string base = cleaned(baseHref);
    if (!base.empty()) {
        if (isRemote(base)) {
            source.kind = ImageSource::Kind::Remote;
            source.path = joinedAddress(base, name);
            return source;
        }
        if (schemeOf(base).empty() && name.front() != '/')
            name = std::string(folderOf(base)) + name;
        // A base with another scheme (file:, about:) says nothing about files near the page.
    }

    source.kind = ImageSource::Kind::File;
    source.path = percentDecoded(std::string_view(name).substr(0, endOfPath(name)), false);
    if (!source.path.empty() && source.path.front() == '/') {
        source.rootRelative = true;
        source.path.erase(0, 1);
    }
    if (source.path.empty())
        source = {}; // "?x" or "#top": the page itself, not a picture
    return source;
}

std::vector<std::string> candidatePaths(const std::string& pageFolder, const ImageSource& source)
{
    if (source.kind != ImageSource::Kind::File)
        return {};
    std::string folder = pageFolder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    if (!source.rootRelative)
        return {folder + source.path};
    // The site's root is not known: each folder from the page's up to the top may be it.
    std::vector<std::string> paths;
    for (;;) {
        paths.push_back(folder + source.path);
        if (folder.empty() || folder == "/")
            break;
        size_t slash = folder.rfind('/', folder.size() - 2);
        if (slash == std::string::npos)
            break;
        folder.resize(slash + 1);
    }
    return paths;
}

} // namespace bw
