#include "page/GumboImages.h"

#include <gumbo.h>
#include <strings.h>

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "text/Encoding.h"
#include "page/ImageContext.h"
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

// An HTML img, input type=image or area with href, as the finder takes them.
bool isImage(const GumboNode* node)
{
    const GumboElement& e = node->v.element;
    const GumboAttribute* type = gumbo_get_attribute(&e.attributes, "type");
    return e.tag_namespace == GUMBO_NAMESPACE_HTML && (e.tag == GUMBO_TAG_IMG || (e.tag == GUMBO_TAG_INPUT && type && ::strcasecmp(type->value, "image") == 0) ||
                                                      (e.tag == GUMBO_TAG_AREA && gumbo_get_attribute(&e.attributes, "href")));
}

void collect(const GumboNode* node, std::string_view page, std::vector<Row>& rows)
{
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
        return;
    const GumboElement& e = node->v.element;
    auto has = [&](const char* name) { return gumbo_get_attribute(&e.attributes, name); };
    const bool html = e.tag_namespace == GUMBO_NAMESPACE_HTML;
    const size_t at = e.original_tag.data - page.data();
    if (isImage(node)) {
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


// Text without white space, nor what gumbo made U+FFFD (this side drops control characters).
void addShown(std::string_view s, std::string& out)
{
    for (size_t i = 0; i < s.size(); i += s.substr(i, 3) == "\xEF\xBF\xBD" ? 3 : 1)
        out += static_cast<unsigned char>(s[i]) > ' ' && s.substr(i, 3) != "\xEF\xBF\xBD" ? std::string(1, s[i]) : "";
}

// The text of a node as a reader gets it: no raw text, no template, and (inLink) the ALT of
// each image but `leftOut`.
void textOf(const GumboNode* node, std::string& out, const GumboNode* leftOut, bool inLink)
{
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE)
        return addShown(node->v.text.text, out);
    if (node->type != GUMBO_NODE_ELEMENT)
        return;
    static const std::set<GumboTag> kRaw = {GUMBO_TAG_SCRIPT, GUMBO_TAG_STYLE, GUMBO_TAG_TEXTAREA, GUMBO_TAG_TITLE,
                                            GUMBO_TAG_XMP, GUMBO_TAG_IFRAME, GUMBO_TAG_NOEMBED, GUMBO_TAG_NOFRAMES};
    const GumboElement& e = node->v.element;
    if (e.tag_namespace == GUMBO_NAMESPACE_HTML && kRaw.count(e.tag))
        return;
    const GumboAttribute* alt = gumbo_get_attribute(&e.attributes, "alt");
    if (inLink && alt && node != leftOut && isImage(node))
        addShown(alt->value, out);
    for (unsigned i = 0; i < e.children.length; ++i)
        textOf(static_cast<const GumboNode*>(e.children.data[i]), out, leftOut, inLink);
}

// Each image tag's context in gumbo's tree, by where its tag stands: "href|link text" or "-",
// then "|caption" or "|-" outside a figure.
void contexts(const GumboNode* node, std::string_view page, std::map<size_t, std::string>& found)
{
    if (node->type != GUMBO_NODE_ELEMENT)
        return; // a template's content is not shown
    const GumboElement& e = node->v.element;
    if (isImage(node) && e.original_tag.length) {
        std::optional<std::string> link, caption;
        for (const GumboNode* up = node->parent; up && up->type == GUMBO_NODE_ELEMENT; up = up->parent) {
            const GumboElement& u = up->v.element;
            const GumboAttribute* href = gumbo_get_attribute(&u.attributes, "href");
            if (u.tag == GUMBO_TAG_A && !link && *(link = href ? std::string(href->value) + "|" : "-") != "-")
                textOf(up, *link, node, true); // the nearest <a> only, a link when it has an href
            for (unsigned i = 0; u.tag == GUMBO_TAG_FIGURE && !caption; ++i)
                if (i == u.children.length)
                    caption = "";
                else if (const auto* child = static_cast<const GumboNode*>(u.children.data[i]); child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == GUMBO_TAG_FIGCAPTION)
                    textOf(child, caption.emplace(), nullptr, false);
        }
        found[e.original_tag.data - page.data()] = link.value_or("-") + "|" + caption.value_or("-");
    }
    for (unsigned i = 0; i < e.children.length; ++i)
        contexts(static_cast<const GumboNode*>(e.children.data[i]), page, found);
}

} // namespace

std::string makeStructurePage(uint32_t seed)
{
    static const Options kParts = {"<a href=x1>"sv, "<a href='y&amp;2'>"sv, "</a>"sv, "<a>"sv, "<figure>"sv, "</figure>"sv,
        "<figcaption>"sv, "</figcaption>"sv, "<div>"sv, "</div>"sv, "<p>"sv, "</p>"sv, "<li>"sv, "</li>"sv, "<ul>"sv, "</ul>"sv, "<ol>"sv,
        "<span>"sv, "</span>"sv, "<img alt=A>"sv, "<img>"sv, "<img alt=''>"sv, "text "sv, "Cap &eacute;t&eacute; "sv, "\n"sv, "<h1>"sv,
        "</h1>"sv, "<dd>"sv, "<dt>"sv, "<dl>"sv, "</dl>"sv, "<section>"sv, "</section>"sv, "<button>"sv, "</button>"sv, "<template>"sv,
        "</template>"sv, "<br>"sv, "</br>"sv, "<hr>"sv, "<address>"sv, "<input type=image alt=I>"sv, "<area href=h alt=R>"sv, "<map>"sv,
        "</body>"sv, "<center>"sv, "<xmp>x</xmp>"sv, "<title>t</title>"sv, "<script>s</script>"sv, "<form>"sv, "</form>"sv, "<!-- c -->"sv};
    std::mt19937 rng(seed);
    std::string out;
    for (size_t parts = 1 + rng() % 25; parts > 0; --parts)
        out += kParts[rng() % kParts.size()];
    return out;
}

std::string compareWithGumbo(std::string_view page, bool withContexts)
{
    std::vector<Row> expected, found;
    std::map<size_t, std::string> expectedContexts;
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
    collect(output->root, page, expected);
    if (withContexts)
        contexts(output->root, page, expectedContexts);
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
    std::string diff = expected == found ? std::string() : "gumbo:\n" + lists[0] + "finder:\n" + lists[1];
    const std::vector<ImageContext> mine = imageContexts(page, images, "UTF-8");
    for (size_t i = 0; i < images.images.size() && withContexts && validUtf8(page); ++i) {
        const auto gumbo = expectedContexts.find(images.images[i].tag.whole.begin);
        std::string here = mine[i].linkHref ? *mine[i].linkHref + "|" : "-";
        addShown(mine[i].linkText, here);
        addShown(mine[i].caption, here += mine[i].inFigure ? "|" : "|-");
        if (gumbo != expectedContexts.end() && gumbo->second != here)
            diff += "at " + std::to_string(gumbo->first) + ": gumbo " + gumbo->second + ", here " + here + "\n";
    }
    return diff;
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
