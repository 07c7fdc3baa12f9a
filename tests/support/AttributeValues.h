#pragma once
// Attribute values as written in a page, and the text a browser reads from them: in an
// attribute, and between tags. The decoder, the box, the rules and every check format read
// these same rows.
#include <string>

namespace bw::test {

struct AttributeValue {
    std::string written, inAttribute, inText;
};

inline const AttributeValue kAttributeValues[] = {
    {"caf&eacute; &Eacute;T&Eacute", "caf\xC3\xA9 \xC3\x89T\xC3\x89", "caf\xC3\xA9 \xC3\x89T\xC3\x89"},
    {"Brindle &amp; Co &AMP &amp", "Brindle & Co & &", "Brindle & Co & &"},
    {"&lt;b&gt; &quot;q&quot; &apos;s&apos;", "<b> \"q\" 's'", "<b> \"q\" 's'"},
    {"&NotNestedGreaterGreater;&CounterClockwiseContourIntegral;&fjlig;", "\xE2\xAA\xA2\xCC\xB8\xE2\x88\xB3" "fj",
     "\xE2\xAA\xA2\xCC\xB8\xE2\x88\xB3" "fj"},
    // Numbers: decimal, hex, no ";", Windows-1252 for 128..159, U+FFFD for what is no character.
    {"&#233;&#xE9;&#X263a;&#65 &#128;&#150;&#x81;", "\xC3\xA9\xC3\xA9\xE2\x98\xBA" "A \xE2\x82\xAC\xE2\x80\x93\xC2\x81",
     "\xC3\xA9\xC3\xA9\xE2\x98\xBA" "A \xE2\x82\xAC\xE2\x80\x93\xC2\x81"},
    {"&#0;&#xD800;&#x110000;&#99999999999;", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
     "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    // Old names without ";": not in an attribute before "=" or a letter or digit.
    {"&copy 2024, &copy2024 &copy=1 &notit; &notin;", "\xC2\xA9 2024, &copy2024 &copy=1 &notit; \xE2\x88\x89",
     "\xC2\xA9 2024, \xC2\xA9" "2024 \xC2\xA9=1 \xC2\xACit; \xE2\x88\x89"},
    // Short, and past the last whole eight bytes.
    {"&lt;3", "<3", "<3"}, {"Fish and chips: &lt;3", "Fish and chips: <3", "Fish and chips: <3"},
    // Not references at all.
    {"&bogus; & && &# &#x; &#xg &apos &NBSP;", "&bogus; & && &# &#x; &#xg &apos &NBSP;", "&bogus; & && &# &#x; &#xg &apos &NBSP;"},
};

} // namespace bw::test
