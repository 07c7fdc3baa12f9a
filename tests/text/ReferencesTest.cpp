// Character references read as a browser reads them, and words found in any case.
#include <gtest/gtest.h>

#include "support/AttributeValues.h"
#include "text/CharacterReferences.h"
#include "text/Text.h"

namespace bw {
namespace {

TEST(CharacterReferences, DecodedAsABrowserDecodesThem)
{
    for (const test::AttributeValue& row : test::kAttributeValues) {
        EXPECT_EQ(decodeAttribute(row.written), row.inAttribute) << row.written;
        EXPECT_EQ(decodeText(row.written), row.inText) << row.written;
    }
}

// Positions from 1, 0 for none, as the page scanners count them.
TEST(Text, FindsAWordInAnyCaseFromWhereItIsAsked)
{
    const struct {
        std::string_view hay, needle;
        size_t start, found;
    } rows[] = {
        {"<META charset=utf-8>", "charset", 1, 7},   {"<meta CHARSET=x>", "charset", 1, 7},
        {"cHaRsEt", "CharSet", 1, 1},                 {"charset charset", "charset", 2, 9},
        {"chars charset", "charset", 1, 7},          {"Ccharset", "charset", 1, 2},
        {"charse", "charset", 1, 0},                  {"", "a", 1, 0},
        {"abc", "", 2, 2},                            {"abc", "c", 4, 0},
        {"abc", "a", 0, 0},                           {"x\xC3\xA9" "CHARSET", "charset", 1, 4},
        {"1=2 =", "=", 3, 5},                          {"aAaB", "ab", 1, 3},
        // Long enough to be read sixteen bytes at a time: across and after those blocks.
        {"<p>text of a paragraph</p><Meta charset=x>", "<meta", 1, 27},
        {"xxxxxxxxxxxxxxxCHarset and more", "charset", 1, 16},
        {"chXrset, cHxrset and then Charset at last", "charset", 1, 27},
        {"a long line of text that ends in CHARSET", "charset", 1, 34},
        {"<mETA a long line <meta charset>, and <meta>", "<meta", 2, 19},
        {"a long line of text without the word", "charset", 1, 0},
        // Thirty-two bytes passed at once: a word in the second half of such a stretch.
        {"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx<Meta charset=x> and then more", "<meta", 1, 51},
        // Sixty-four where the processor can: past a false start, and deep in a later stretch.
        {"<mxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx" "<META charset=x> and then more of the page", "<meta", 1, 75},
        {"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
         "<base href=x> and more", "<base", 1, 101},
    };
    for (const auto& row : rows)
        EXPECT_EQ(text::inStrNoCase(row.hay, row.needle, row.start), row.found) << row.hay << " / " << row.needle;
}

} // namespace
} // namespace bw
