#include "page/PageEncoding.h"

#include <optional>

#include "page/ImageFinder.h"
#include "text/Encoding.h"
#include "text/Text.h"

namespace bw {
namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = text::lowerAscii(c);
    return out;
}

std::string trimmed(std::string_view s)
{
    while (!s.empty() && (text::isHtmlSpace(s.front()) || s.front() == '"' || s.front() == '\''))
        s.remove_prefix(1);
    while (!s.empty() && (text::isHtmlSpace(s.back()) || s.back() == '"' || s.back() == '\''))
        s.remove_suffix(1);
    return std::string(s);
}

// The charset a <meta> tag in the page's head declares, or "".
std::string declaredCharset(std::string_view page)
{
    // Declarations stand in the head; browsers look no further than its first bytes either.
    const std::string_view head = page.substr(0, 64 * 1024);
    for (size_t at = text::inStrNoCase(head, "<meta"); at != 0; at = text::inStrNoCase(head, "<meta", at + 5)) {
        const std::optional<StartTag> tag = startTagAt(head, at - 1);
        if (!tag)
            break;
        auto value = [&](std::string_view name) {
            const TagAttribute* a = tag->find(head, name);
            return a ? a->value.of(head) : std::string_view();
        };
        if (std::string_view charset = value("charset"); !charset.empty())
            return trimmed(charset);
        if (text::equalsNoCase(trimmed(value("http-equiv")), "content-type")) {
            const std::string_view content = value("content");
            if (size_t c = text::inStrNoCase(content, "charset="); c != 0) {
                std::string_view rest = content.substr(c - 1 + 8);
                size_t end = rest.find_first_of("; \t\r\n");
                return trimmed(rest.substr(0, end));
            }
        }
    }
    return {};
}

} // namespace

std::string utf16FileEncoding(std::string_view bytes)
{
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return "UTF-16LE";
    if (bytes.substr(0, 2) == "\xFE\xFF")
        return "UTF-16BE";
    return {};
}

std::optional<std::string> pageText(std::string&& bytes)
{
    const std::string utf16 = utf16FileEncoding(bytes);
    if (utf16.empty())
        return bytes.find('\0') == std::string::npos ? std::optional<std::string>(std::move(bytes)) : std::nullopt;
    return utf16ToUtf8(bytes, utf16 == "UTF-16BE");
}

bool isPageText(std::string_view bytes)
{
    const std::string utf16 = utf16FileEncoding(bytes);
    return utf16.empty() ? bytes.find('\0') == std::string_view::npos : utf16ToUtf8(bytes, utf16 == "UTF-16BE").has_value();
}

std::string pageFileBytes(std::string_view text, const std::string& fileEncoding)
{
    return fileEncoding.empty() ? std::string(text) : utf8ToUtf16(text, fileEncoding == "UTF-16BE");
}

std::string pageEncoding(std::string_view page)
{
    if (page.substr(0, 3) == "\xEF\xBB\xBF")
        return "UTF-8";
    if (page.substr(0, 2) == "\xFF\xFE")
        return "UTF-16LE";
    if (page.substr(0, 2) == "\xFE\xFF")
        return "UTF-16BE";
    std::string declared = lower(declaredCharset(page));
    // A page that says UTF-16 yet reads as ASCII is read as UTF-8 by browsers.
    if (declared.rfind("utf-16", 0) == 0)
        declared = "utf-8";
    if (!declared.empty() && knownEncoding(declared)) {
        if (declared == "utf-8" || declared == "utf8")
            return "UTF-8";
        return declared;
    }
    return validUtf8(page) ? "UTF-8" : "WINDOWS-1252";
}

} // namespace bw
