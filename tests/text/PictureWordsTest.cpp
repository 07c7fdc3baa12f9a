#include "text/PictureWords.h"

#include <gtest/gtest.h>

namespace bw {
namespace {

TEST(PictureWords, AltHoldsThePictureTextWordByWord)
{
    struct Row {
        const char *alt, *picture;
        bool holds;
    };
    const Row rows[] = {
        {"Summer sale: 50% off everything", "SALE 50% OFF", true},
        {"Contact us", "contact   US!", true},
        {"us contact", "Contact us", true}, // order is not the listener's concern
        {"Café menu", "CAFÉ menu", false},  // beyond ASCII only equal bytes meet
        {"Café menu", "Café MENU", true},
        {"Sale", "SALE 50% OFF", false},
        {"Contacts", "Contact", false}, // words, not parts of words
        {"anything", "", true},
        {"", "Home", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(altHoldsPictureText(row.alt, row.picture), row.holds) << row.alt << " / " << row.picture;
    EXPECT_EQ(foldedWords("  Log-In\tNOW  "), "log in now");
}

} // namespace
} // namespace bw
