#include "page/GumboImages.h"

#include <gumbo.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace bw::test {
namespace {

bool equalsLower(std::string_view text, std::string_view lower)
{
    return text.size() == lower.size() &&
           std::equal(text.begin(), text.end(), lower.begin(),
                      [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a | 0x20 : a) == b; });
}

// The attribute's value as written, quotes taken off.
std::optional<std::string> rawValue(const GumboElement& element, const char* name)
{
    const GumboAttribute* attribute = gumbo_get_attribute(&element.attributes, name);
    if (!attribute)
        return std::nullopt;
    std::string_view value(attribute->original_value.data, attribute->original_value.length);
    if (attribute->original_value.data == attribute->original_name.data)
        return std::string(); // written without a value
    if (!value.empty() && (value.front() == '"' || value.front() == '\''))
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

void collect(const GumboNode* node, std::string_view page, std::vector<ImageRow>& rows)
{
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
        return;
    const GumboElement& element = node->v.element;
    if (element.tag_namespace == GUMBO_NAMESPACE_HTML) {
        const size_t offset = static_cast<size_t>(element.original_tag.data - page.data());
        const GumboAttribute* type = gumbo_get_attribute(&element.attributes, "type");
        if (element.tag == GUMBO_TAG_IMG)
            rows.push_back({ImageKind::Img, offset, rawValue(element, "src"), rawValue(element, "alt")});
        else if (element.tag == GUMBO_TAG_INPUT && type && equalsLower(type->value, "image"))
            rows.push_back({ImageKind::InputImage, offset, rawValue(element, "src"), rawValue(element, "alt")});
        else if (element.tag == GUMBO_TAG_AREA && gumbo_get_attribute(&element.attributes, "href"))
            rows.push_back({ImageKind::Area, offset, rawValue(element, "href"), rawValue(element, "alt")});
        else if (element.tag == GUMBO_TAG_BODY)
            if (const GumboAttribute* background = gumbo_get_attribute(&element.attributes, "background"))
                rows.push_back({ImageKind::Background,
                                static_cast<size_t>(background->original_name.data - page.data()),
                                rawValue(element, "background"), std::nullopt});
    }
    for (unsigned i = 0; i < element.children.length; ++i)
        collect(static_cast<const GumboNode*>(element.children.data[i]), page, rows);
}

std::string describe(const std::vector<ImageRow>& rows)
{
    static const char* const kinds[] = {"img", "input", "area", "background"};
    std::string text;
    for (const ImageRow& row : rows)
        text += std::string(kinds[static_cast<int>(row.kind)]) + " @" + std::to_string(row.offset) +
                " src=" + printable(row.src.value_or("(none)")) + " alt=" + printable(row.alt.value_or("no alt")) +
                "\n";
    return text.empty() ? "(none)\n" : text;
}

} // namespace

std::vector<ImageRow> gumboImages(std::string_view page)
{
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
    std::vector<ImageRow> rows;
    collect(output->root, page, rows);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    // Foster parenting moves tags misplaced in tables in the tree, not in the page.
    std::stable_sort(rows.begin(), rows.end(), [](const ImageRow& a, const ImageRow& b) {
        const bool aFirst = a.kind == ImageKind::Background, bFirst = b.kind == ImageKind::Background;
        return aFirst != bFirst ? aFirst : a.offset < b.offset;
    });
    return rows;
}

std::vector<ImageRow> finderImages(std::string_view page)
{
    std::vector<ImageRow> rows;
    for (const FoundImage& image : findImages(page).images) {
        const char* address = image.kind == ImageKind::Area         ? "href"
                              : image.kind == ImageKind::Background ? "background"
                                                                     : "src";
        auto value = [&](const char* name) -> std::optional<std::string> {
            const TagAttribute* attribute = image.tag.find(page, name);
            return attribute ? std::optional(std::string(attribute->value.of(page))) : std::nullopt;
        };
        if (image.kind == ImageKind::Background) // never given an ALT; later body tags add theirs
            rows.push_back({image.kind, image.tag.find(page, "background")->name.begin, value(address), std::nullopt});
        else
            rows.push_back({image.kind, image.tag.whole.begin, value(address), value("alt")});
    }
    return rows;
}

std::string compareWithGumbo(std::string_view page)
{
    const std::vector<ImageRow> expected = gumboImages(page), found = finderImages(page);
    if (expected == found)
        return {};
    return "gumbo:\n" + describe(expected) + "finder:\n" + describe(found);
}

bool treeKeepsTags(std::string_view page)
{
    std::string lower(page);
    for (char& c : lower)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
    // Gumbo also counts "</>" into the next tag, whose name it then misreads in svg and math.
    for (const char* word : {"select", "frameset", "isindex", "</><"})
        if (lower.find(word) != std::string::npos)
            return false;
    if (lower.find("<svg") == std::string::npos && lower.find("<math") == std::string::npos)
        return true;
    // In and around svg and math, gumbo takes any two tags it has no name for as the same,
    // and matches end tags by their text, so that "</svg >" closes nothing.
    for (size_t at = lower.find("</"); at != std::string::npos; at = lower.find("</", at + 2)) {
        const size_t end = lower.find_first_of("\t\n\f\r />", at + 2);
        const std::string_view name = std::string_view(lower).substr(at + 2, end - at - 2);
        if (!name.empty() && (gumbo_tagn_enum(name.data(), static_cast<unsigned>(name.size())) == GUMBO_TAG_UNKNOWN ||
                              (end != std::string::npos && lower[end] != '>')))
            return false;
    }
    return true;
}

std::string printable(std::string_view page)
{
    std::string text;
    for (unsigned char c : page) {
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            text += static_cast<char>(c);
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02x", c);
            text += code;
        }
    }
    return text;
}

namespace {

using namespace std::string_view_literals;

// Every choice takes one draw, in statement order, so that any compiler gives the same page.
class PageMaker {
public:
    explicit PageMaker(uint32_t seed) : rng_(seed) {}

    std::string page()
    {
        const size_t pieces = 1 + pick(30);
        for (size_t i = 0; i < pieces; ++i)
            piece();
        out_ += any({""sv, "<!-- unclosed <img src=u>"sv, "<img src=\"cut"sv, "<img src=cut"sv, "<img"sv,
                     "<plaintext><img src=pt>"sv, "<script>x</script"sv, "<!DOCTYPE"sv, "<img src=a alt"sv,
                     "<"sv, "</"sv, "</>"sv});
        return std::move(out_);
    }

private:
    size_t pick(size_t n) { return rng_() % n; }
    std::string_view any(std::initializer_list<std::string_view> options) { return options.begin()[pick(options.size())]; }

    void piece()
    {
        switch (pick(11)) {
        case 0:
        case 1:
            out_ += any({"Hello world "sv, "a < b "sv, "<3 "sv, "< img src=t> "sv, "caf\xe9 "sv, "na\xc3\xafve "sv,
                         "x\0y "sv, "1 <= 2 "sv, "\r\n"sv, "&lt;img src=e&gt; "sv, "<\0img src=n>"sv});
            break;
        case 2:
        case 3:
            imageTag();
            break;
        case 4:
            out_ += any({"<div class=\"a>b\">"sv, "<P>"sv, "<a href='#'>"sv, "<span title=<img>"sv, "<section/>"sv,
                         "<noscript><img src=ns></noscript>"sv, "<br/>"sv, "<html lang=en>"sv, "<head>"sv,
                         "<meta charset=utf-8>"sv, "<video poster=v.jpg>"sv, "<im\0g src=z>"sv,
                         "</div>"sv, "</P class=\"x>y\">"sv, "</span foo='<img src=z>'>"sv, "</a>"sv,
                         "</img src=endtag>"sv});
            break;
        case 5:
            out_ += any({"<!-- <img src=c1> -->"sv, "<!--><img src=c2>"sv, "<!---><img src=c3>"sv,
                         "<!-- a --!><img src=c4>"sv, "<!-- -- - ---><img src=c5>"sv, "<!-- --!x <img src=c6> -->"sv,
                         "<!----><img src=c7>"sv, "<!-- \0 -->"sv});
            break;
        case 6:
            out_ += any({"<!DOCTYPE html>"sv, "<!doctype html \"<img src=d>\">"sv, "<?xml version=\"1.0\"?>"sv,
                         "<!foo <img src=b1>"sv, "</ 3 <img src=b2>"sv, "</> "sv, "<![CDATA[<img src=b3>]]>"sv,
                         "<!-><img src=b4>"sv, "<?php echo '<img src=b5>' ?>"sv});
            break;
        case 7:
            rawText();
            break;
        case 8:
            out_ += any({"<svg width=10><![CDATA[<img src=cd>]]><rect/><image href=si /></svg>"sv,
                         "<svg><title>t <img src=st></title><foreignObject><image src=fo></foreignObject></svg>"sv,
                         "<SVG><desc><input type=image src=di></desc><g><input type=image src=gi></g></SVG>"sv,
                         "<svg><style><img src=ss></style></svg>"sv, "<svg/><input type=image src=sc>"sv,
                         "<math><mi><image src=mi></mi><![CDATA[<img src=mc>]]><mglyph/></math>"sv,
                         "<p><svg><g></p><area href=sa>"sv, "<svg><font color=red><area href=fa></svg>"sv,
                         "<svg><script>\"<img src=sj>\"</script></svg>"sv});
            break;
        case 9:
            out_ += any({"<picture><source srcset=\"a.webp\" type=\"image/webp\"><img src=p.jpg alt=\"\"></picture>"sv,
                         "<body background=\"bg.gif\">"sv, "<BODY BACKGROUND=bg2.gif text=black>"sv, "<body>"sv,
                         "<body background>"sv, "<base href=\"http://example.com/\">"sv, "<img/src=x>"sv,
                         "<map name=m><area shape=rect href=\"a.html\" alt=Area><area nohref></map>"sv});
            break;
        default:
            out_ += any({"<p>Some text, a bit longer, to keep tags apart.</p>\n"sv, " "sv, "\n"sv});
            break;
        }
    }

    void imageTag()
    {
        out_ += '<';
        out_ += any({"img"sv, "IMG"sv, "Img"sv, "image"sv, "input"sv, "INPUT"sv, "area"sv, "AREA"sv});
        const size_t count = pick(6);
        for (size_t i = 0; i < count; ++i) {
            out_ += any({" "sv, "  "sv, "\t"sv, "\n"sv, "\f"sv, "\r"sv, "/"sv, " / "sv, "\r\n"sv});
            const std::string_view name = any({"src"sv, "SRC"sv, "alt"sv, "ALT"sv, "width"sv, "class"sv, "data-x"sv,
                                               "srcset"sv, "href"sv, "type"sv, "TYPE"sv, "usemap"sv, "a\"b"sv});
            out_ += name;
            const std::string_view value =
                equalsLower(name, "type") ? any({"image"sv, "IMAGE"sv, "Image"sv, "text"sv})
                                          : any({"a.gif"sv, "pic one.jpg"sv, "x>y"sv, "<img src=in>"sv, "it's"sv,
                                                 "say \"hi\""sv, ""sv, "caf\xe9.png"sv, "a\0b"sv, "q=1"sv});
            const size_t form = pick(8);
            if (form == 0)
                continue; // no value
            out_ += any({"="sv, " = "sv, "=\n"sv});
            const bool needsQuotes = value.empty() || value.find_first_of(" >") != std::string_view::npos;
            char quote = form < 3 ? '\'' : form < 6 || needsQuotes ? '"' : 0;
            if (value.find('"') != std::string_view::npos)
                quote = '\'';
            else if (value.find('\'') != std::string_view::npos)
                quote = '"';
            if (quote)
                out_ += quote;
            out_ += value;
            if (quote)
                out_ += quote;
        }
        out_ += any({">"sv, "/>"sv, " />"sv, " >"sv});
    }

    void rawText()
    {
        const std::string_view name = any({"script"sv, "SCRIPT"sv, "style"sv, "textarea"sv, "title"sv, "xmp"sv,
                                           "iframe"sv, "noembed"sv, "noframes"sv, "Style"sv});
        out_ += '<';
        out_ += name;
        out_ += any({">"sv, " type=\"x>y\">"sv, "/>"sv});
        out_ += any({"var s = \"<img src=r1>\";"sv, "</scriptx><img src=r2>"sv, "a</b><img src=r3>"sv,
                     "if (a<b) { x = '</div>'; }"sv, ""sv, "</ <img src=r4>"sv, "\0"sv});
        out_ += "</";
        out_ += name;
        out_ += any({">"sv, " >"sv, "/>"sv, "\tfoo=\"a>b\">"sv, "\n>"sv});
    }

    std::mt19937 rng_;
    std::string out_;
};

} // namespace

std::string makeTestPage(uint32_t seed)
{
    return PageMaker(seed).page();
}

} // namespace bw::test
