// The ALT rules, each with cases it must and must not flag.
#include <gtest/gtest.h>

#include "page/AltRules.h"

namespace bw {
namespace {

TEST(AltRules, EachRuleFlagsItsCasesAndNoOthers)
{
    const std::string longAlt(151, 'a'), longUtf8 = std::string(74, 'a') + std::string(74, ' ') + "\xc3\xa9\xc3\xa9";
    const struct {
        std::optional<std::string> alt;
        std::string fileName, linkText, caption, rules;
    } rows[] = {
        {std::nullopt, "a.png", "", " \n", "missing-alt"},
        {std::nullopt, "a.png", "Home", "Our shop", "missing-alt-captioned"}, // a note: the caption may say it
        {"", "a.png", "Home", "Home", ""}, // decorative
        {" \t\r\n", "a.png", "", "", "alt-whitespace"},
        {"A yellow sun over the hills", "img/sun.png", "", "", ""},
        {"sun.png", "img/sun.png", "", "", "alt-is-filename"},
        {"SUN", "img/Sun.png?v=2", "", "", "alt-is-filename"},
        {"DSC_0042", "photo.jpg", "", "", "alt-is-filename"},
        {"holiday.JPEG", "a.png", "", "", "alt-is-filename"},
        {"20240307", "a.png", "", "", "alt-is-filename"},
        {"Sun rising", "img/sun.png", "", "", ""},
        {"snake_case and spaces", "a.png", "", "", ""},
        {"Room 101", "a.png", "", "", ""},
        {"Image", "a.png", "", "", "alt-placeholder"},
        {" photo. ", "a.png", "", "", "alt-placeholder"},
        {"*", "a.png", "", "", "alt-placeholder"},
        {"Imagery of the coast", "a.png", "", "", ""},
        {"Image of a dog", "a.png", "", "", "alt-image-of"},
        {"PICTURE OF", "a.png", "", "", "alt-image-of"},
        {"Imageoffice", "a.png", "", "", ""},
        {"A photo of the team", "a.png", "", "", ""},
        {"Our  shop", "a.png", "our shop", "", "alt-redundant-link"},
        {"Our shop", "a.png", "Our shops", "", ""},
        {"The garden in May", "a.png", "", " the garden\nin may ", "alt-redundant-caption"},
        {longAlt, "a.png", "", "", "alt-too-long"},
        {std::string(150, 'a'), "a.png", "", "", ""},
        {longUtf8, "a.png", "", "", ""}, // 152 bytes, 150 characters, white space kept
        {"Image", "img/image.gif", "", "", "alt-is-filename alt-placeholder"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.alt.value_or("(none)"));
        std::string ids;
        for (const AltRule* rule : altFindings(row.alt, {row.fileName, row.linkText, row.caption}))
            ids += (ids.empty() ? "" : " ") + std::string(rule->id);
        EXPECT_EQ(ids, row.rules);
    }
    EXPECT_EQ(altRule("alt-too-long")->severity, Severity::Warning);
    EXPECT_EQ(altRule("alt-conflict")->severity, Severity::Note);
    EXPECT_EQ(altRule("no-such-rule"), nullptr);
}

} // namespace
} // namespace bw
