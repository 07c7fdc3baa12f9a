// The ALT rules, each with cases it must and must not flag.
#include <gtest/gtest.h>

#include "page/AltRules.h"

namespace bw {
namespace {

TEST(AltRules, EachRuleFlagsItsCasesAndNoOthers)
{
    const std::string longAlt(151, 'a');
    const struct {
        std::optional<std::string> alt;
        std::string fileName, linkText, caption, rules;
    } rows[] = {
        {std::nullopt, "a.png", "", " \n", "missing-alt"},
        {std::nullopt, "a.png", "Home", "Our shop", "missing-alt-captioned"}, // a note: the caption may say it
        {"", "a.png", "Home", "Home", ""}, // decorative
        {" \t\r\n", "a.png", "", "", "alt-whitespace"},
        {"A yellow sun over the hills", "img/sun.png", "", "", ""},
        // A file name: an extension, a path, a camera's or a screenshot's name, the picture's name joined up.
        {"sun.png", "img/sun.png", "", "", "alt-is-filename"},
        {"holiday.JPEG", "a.png", "", "", "alt-is-filename"},
        {"../_images/tk_msg.png", "../_images/tk_msg.png", "", "", "alt-is-filename"},
        {"./figures/plot", "a.png", "", "", "alt-is-filename"}, {"img\\plot.v2", "a.png", "", "", "alt-is-filename"},
        {"gerbview_main_screen_png", "gerbview_main_screen.png", "", "", "alt-is-filename"},
        {"Main-Window", "shots/main_window.PNG", "", "", "alt-is-filename"},
        {"DSC_0042", "photo.jpg", "", "", "alt-is-filename"},
        {"IMG_1234", "a.jpg", "", "", "alt-is-filename"},
        {"DSC00012", "a.jpg", "", "", "alt-is-filename"},
        {"P1010123", "a.jpg", "", "", "alt-is-filename"},
        {"image001", "a.png", "", "", "alt-is-filename"},
        {"screenshot_2024-01-02", "a.png", "", "", "alt-is-filename"},
        {"Screen Shot 2019-05-01 at 10.22.33 AM", "a.png", "", "", "alt-is-filename"},
        // Not one: a word or a number that is the picture's name (a note where it may say too
        // little), joined words of another name, words with a slash.
        {"Prev", "images/prev.png", "", "", ""},
        {"Home", "../images/home.gif", "", "", ""},
        {"1", "images/callouts/1.png", "", "", ""},
        {"2024", "a.png", "", "", ""},
        {"20240307", "a.png", "", "", ""},
        {"C_API", "capi-diagram.png", "", "", ""},
        {"TCP/IP", "stack.png", "", "", ""},
        {"gimp.org", "images/gimp-org.png", "", "", ""},
        {"Screenshot of the editor", "a.png", "", "", ""},
        {"Image 1", "a.png", "", "", ""},
        {"SUN", "img/Sun.png?v=2", "", "", "alt-same-as-filename"},
        {"A", "a.png", "", "", "alt-same-as-filename"},
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
        {std::string(149, 'b') + "\xc3\xa9", "a.png", "", "", ""}, // 151 bytes, 150 characters
        {" " + std::string(70, 'c') + "\n        \t" + std::string(79, 'c') + "\r\n  ", "a.png", "", "", ""}, // wrapped: 150
        {"Image", "img/image.gif", "", "", "alt-same-as-filename alt-placeholder"},
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
    EXPECT_EQ(altRule("alt-same-as-filename")->severity, Severity::Note);
    EXPECT_EQ(altRule("no-such-rule"), nullptr);
}

} // namespace
} // namespace bw
