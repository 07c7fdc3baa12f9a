#include "page/GumboImages.h"

#include <gumbo.h>
#include <strings.h>

#include <algorithm>
#include <array>
#include <random>
#include <tuple>
#include <vector>

#include "page/ImageFinder.h"

namespace bw::test {
namespace {

// An image as both sides list it: whether it is no body background (those come first), where
// it stands, and its text: the tag with the first attribute of each name, or the body's
// background attribute alone; each part as written and where it stands.
using Row = std::tuple<bool, size_t, std::string>;
constexpr size_t kBase = SIZE_MAX; // the page's first <base href> goes last

std::string placed(std::string_view page, ByteRange part)
{
    return std::string(part.of(page)) + "@" + std::to_string(part.begin);
}

std::string text(std::string_view page, const TagAttribute& a)
{
    // Gumbo gives an empty unquoted value no place of its own.
    const bool valued = a.hasValue && (a.quote || !a.value.empty());
    return placed(page, a.name) + (valued ? "=" + std::string(a.quote != 0, a.quote) + placed(page, a.value) : "");
}

// Gumbo's attribute as the finder reports one.
TagAttribute attribute(std::string_view page, const GumboAttribute* a)
{
    const size_t name = a->original_name.data - page.data(), value = a->original_value.data - page.data();
    TagAttribute t;
    t.name = {name, name + a->original_name.length};
    t.hasValue = value != name;
    t.quote = t.hasValue && (page[value] == '"' || page[value] == '\'') ? page[value] : 0;
    t.value = {value + (t.quote != 0), value + a->original_value.length - (t.quote != 0)};
    return t;
}

void collect(const GumboNode* node, std::string_view page, std::vector<Row>& rows)
{
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
        return;
    const GumboElement& e = node->v.element;
    auto has = [&](const char* name) { return gumbo_get_attribute(&e.attributes, name); };
    const bool html = e.tag_namespace == GUMBO_NAMESPACE_HTML;
    const size_t at = e.original_tag.data - page.data();
    if (html && (e.tag == GUMBO_TAG_IMG || (e.tag == GUMBO_TAG_AREA && has("href")) ||
                 (e.tag == GUMBO_TAG_INPUT && has("type") && ::strcasecmp(has("type")->value, "image") == 0))) {
        std::string line = placed(page, {at, at + e.original_tag.length});
        for (unsigned i = 0; i < e.attributes.length; ++i)
            line += " " + text(page, attribute(page, static_cast<const GumboAttribute*>(e.attributes.data[i])));
        rows.emplace_back(true, at, line);
    } else if (html && e.tag == GUMBO_TAG_BODY && has("background")) {
        const TagAttribute background = attribute(page, has("background"));
        rows.emplace_back(false, background.name.begin, text(page, background));
    } else if (html && e.tag == GUMBO_TAG_BASE && has("href") &&
               std::none_of(rows.begin(), rows.end(), [](const Row& r) { return std::get<1>(r) == kBase; })) {
        rows.emplace_back(true, kBase, "base " + std::string(attribute(page, has("href")).value.of(page)));
    }
    for (unsigned i = 0; i < e.children.length; ++i)
        collect(static_cast<const GumboNode*>(e.children.data[i]), page, rows);
}

using namespace std::string_view_literals;
using Options = std::vector<std::string_view>;

// Pieces of page other than image tags and raw text, by kind: text, other tags, comments,
// doctypes and bogus comments, svg and math, pictures, maps and bodies, filler.
const Options kPieces[] = {
    {"Hello world "sv, "a < b "sv, "<3 "sv, "< img src=t> "sv, "caf\xe9 "sv, "na\xc3\xafve "sv, "x\0y "sv, "1 <= 2 "sv,
     "\r\n"sv, "&lt;img src=e&gt; "sv, "<\0img src=n>"sv},
    {"<div class=\"a>b\">"sv, "<P>"sv, "<a href='#'>"sv, "<span title=<img>"sv, "<section/>"sv,
     "<noscript><img src=ns></noscript>"sv, "<br/>"sv, "<html lang=en>"sv, "<head>"sv, "<meta charset=utf-8>"sv,
     "<video poster=v.jpg>"sv, "<im\0g src=z>"sv, "</div>"sv, "</P class=\"x>y\">"sv, "</span foo='<img src=z>'>"sv,
     "</a>"sv, "</img src=endtag>"sv},
    {"<!-- <img src=c1> -->"sv, "<!--><img src=c2>"sv, "<!---><img src=c3>"sv, "<!-- a --!><img src=c4>"sv,
     "<!-- -- - ---><img src=c5>"sv, "<!-- --!x <img src=c6> -->"sv, "<!----><img src=c7>"sv, "<!-- \0 -->"sv},
    {"<!DOCTYPE html>"sv, "<!doctype html \"<img src=d>\">"sv, "<?xml version=\"1.0\"?>"sv, "<!foo <img src=b1>"sv,
     "</ 3 <img src=b2>"sv, "</> "sv, "<![CDATA[<img src=b3>]]>"sv, "<!-><img src=b4>"sv,
     "<?php echo '<img src=b5>' ?>"sv},
    {"<svg width=10><![CDATA[<img src=cd>]]><rect/><image href=si /></svg>"sv,
     "<svg><title>t <img src=st></title><foreignObject><image src=fo></foreignObject></svg>"sv,
     "<SVG><desc><input type=image src=di></desc><g><input type=image src=gi></g></SVG>"sv,
     "<svg><style><img src=ss></style></svg>"sv, "<svg/><input type=image src=sc>"sv,
     "<math><mi><image src=mi></mi><![CDATA[<img src=mc>]]><mglyph/></math>"sv, "<p><svg><g></p><area href=sa>"sv,
     "<svg><font color=red><area href=fa></svg>"sv, "<svg><script>\"<img src=sj>\"</script></svg>"sv},
    {"<picture><source srcset=\"a.webp\" type=\"image/webp\"><img src=p.jpg alt=\"\"></picture>"sv,
     "<body background=\"bg.gif\">"sv, "<BODY BACKGROUND=bg2.gif text=black>"sv, "<body>"sv, "<body background>"sv,
     "<base href=\"http://example.com/\">"sv, "<img/src=x>"sv,
     "<map name=m><area shape=rect href=\"a.html\" alt=Area><area nohref></map>"sv},
    {"<p>Some text, a bit longer, to keep tags apart.</p>\n"sv, " "sv, "\n"sv},
};


} // namespace

std::string compareWithGumbo(std::string_view page)
{
    std::vector<Row> expected, found;
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
    collect(output->root, page, expected);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    // Foster parenting moves tags misplaced in tables in the tree, not in the page.
    std::sort(expected.begin(), expected.end());
    const FoundImages images = findImages(page);
    for (const FoundImage& image : images.images) {
        if (image.kind == ImageKind::Background) { // later body tags add theirs
            const TagAttribute& background = *image.tag.find(page, "background");
            found.emplace_back(false, background.name.begin, text(page, background));
            continue;
        }
        std::string line = placed(page, image.tag.whole);
        for (const TagAttribute& a : image.tag.attributes) {
            std::string name(a.name.of(page));
            std::transform(name.begin(), name.end(), name.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c | 0x20 : c; });
            if (image.tag.find(page, name) == &a) // the first of its name
                line += " " + text(page, a);
        }
        found.emplace_back(true, image.tag.whole.begin, line);
    }
    if (images.baseHref)
        found.emplace_back(true, kBase, "base " + std::string(images.baseHref->of(page)));
    std::string lists[2];
    for (int side = 0; side < 2; ++side)
        for (const Row& r : side ? found : expected)
            lists[side] += std::get<2>(r) + "\n";
    return expected == found ? std::string() : "gumbo:\n" + lists[0] + "finder:\n" + lists[1];
}

std::string makeTestPage(uint32_t seed)
{
    // Every choice takes one draw, in statement order, so that any compiler gives the same page.
    std::mt19937 rng(seed);
    std::string out;
    auto any = [&](const Options& options) { return std::string(options[rng() % options.size()]); };
    for (size_t pieces = 1 + rng() % 30; pieces > 0; --pieces) {
        // Of eleven draws, two give text, two an image tag (-1), one raw text (-2), one filler.
        const int kind = std::array{0, 0, -1, -1, 1, 2, 3, -2, 4, 5, 6}[rng() % 11];
        if (kind >= 0) {
            out += any(kPieces[kind]);
            continue;
        }
        if (kind == -2) {
            const std::string name = any({"script"sv, "SCRIPT"sv, "style"sv, "textarea"sv, "title"sv, "xmp"sv,
                                          "iframe"sv, "noembed"sv, "noframes"sv, "Style"sv});
            out += "<" + name + any({">"sv, " type=\"x>y\">"sv, "/>"sv});
            out += any({"var s = \"<img src=r1>\";"sv, "</scriptx><img src=r2>"sv, "a</b><img src=r3>"sv,
                        "if (a<b) { x = '</div>'; }"sv, ""sv, "</ <img src=r4>"sv, "\0"sv});
            out += "</" + name + any({">"sv, " >"sv, "/>"sv, "\tfoo=\"a>b\">"sv, "\n>"sv});
            continue;
        }
        out += "<" + any({"img"sv, "IMG"sv, "Img"sv, "image"sv, "input"sv, "INPUT"sv, "area"sv, "AREA"sv});
        for (size_t count = rng() % 6; count > 0; --count) {
            out += any({" "sv, "  "sv, "\t"sv, "\n"sv, "\f"sv, "\r"sv, "/"sv, " / "sv, "\r\n"sv});
            const std::string name = any({"src"sv, "SRC"sv, "alt"sv, "ALT"sv, "width"sv, "class"sv, "data-x"sv,
                                          "srcset"sv, "href"sv, "type"sv, "TYPE"sv, "usemap"sv, "a\"b"sv});
            const std::string value =
                name == "type" || name == "TYPE" ? any({"image"sv, "IMAGE"sv, "Image"sv, "text"sv})
                                                 : any({"a.gif"sv, "pic one.jpg"sv, "x>y"sv, "<img src=in>"sv, "it's"sv,
                                                        "say \"hi\""sv, ""sv, "caf\xe9.png"sv, "a\0b"sv, "q=1"sv});
            const size_t form = rng() % 8;
            out += name;
            if (form == 0)
                continue; // no value
            out += any({"="sv, " = "sv, "=\n"sv});
            const bool needsQuotes = value.empty() || value.find_first_of(" >") != std::string::npos;
            char quote = form < 3 ? '\'' : form < 6 || needsQuotes ? '"' : 0;
            if (value.find_first_of("\"'") != std::string::npos)
                quote = value.find('"') != std::string::npos ? '\'' : '"';
            out += quote ? quote + value + quote : value;
        }
        out += any({">"sv, "/>"sv, " />"sv, " >"sv});
    }
    return out + any({""sv, "<!-- unclosed <img src=u>"sv, "<img src=\"cut"sv, "<img src=cut"sv, "<img"sv,
                      "<plaintext><img src=pt>"sv, "<script>x</script"sv, "<!DOCTYPE"sv, "<img src=a alt"sv, "<"sv,
                      "</"sv, "</>"sv});
}

} // namespace bw::test
