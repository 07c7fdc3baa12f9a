// The sample set: buttons and banners of known text, and photos without any, read by Tesseract.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cstdio>
#include <tuple>

#include "platform/PictureReader.h"
#include "support/PictureSamples.h"
#include "text/PictureWords.h"

namespace bw {
namespace {

// Forty texts for buttons and banners, each drawn twice in a font, a size (11 to 40 pixels), a look and a format of its own.
const char* const kTexts[] = {"Home", "Contact us", "About the company", "Buy now", "Download the brochure", "Sign in", "Next page",
    "Search", "Order today", "Free shipping on all orders", "Welcome to Riverside Gardens", "Back", "Opening hours", "Our menu",
    "Book a table", "Summer sale", "Privacy policy", "Gallery", "Subscribe", "Terms and conditions", "Latest news", "Meet the team",
    "Shop", "Find a store", "Events 2024", "Join us", "Learn more", "Frequently asked questions", "Call 0800 123 456", "Recipes",
    "Start here", "Donate", "Careers", "Site map", "Special offers", "Print this page", "Members area", "Watch the video", "Log out",
    "Directions"};
const char* const kFonts[] = {"dejavu/DejaVuSans.ttf", "dejavu/DejaVuSans-Bold.ttf", "dejavu/DejaVuSerif.ttf", "dejavu/DejaVuSansCondensed-Bold.ttf",
    "liberation/LiberationSans-Regular.ttf", "liberation/LiberationSerif-Bold.ttf", "liberation/LiberationSansNarrow-Regular.ttf"};

// Tesseract's reader where this machine has it, and Qt to draw with.
struct PictureReaderTest : testing::Test {
    void SetUp() override
    {
        static int argc = (qputenv("QT_QPA_PLATFORM", "offscreen"), 1);
        static char* argv[] = {const_cast<char*>("picture_tests")};
        static QGuiApplication application(argc, argv);
        if (!reader->unavailable().empty())
            GTEST_SKIP() << reader->unavailable();
    }
    const std::unique_ptr<PictureReader> reader = makePictureReader();
};

// Every row read: a picture, and the suggestion expected ("" for none).
TEST_F(PictureReaderTest, ReadsTheTextOfButtonsAndOffersNoneForPhotos)
{
    std::vector<std::tuple<std::string, std::string, bool>> rows; // the picture, its text, roomy
    const char* formats[] = {"GIF", "PNG", "JPG"};
    for (int i = 0; i < 80; ++i) // 7 fonts, 4 looks, 3 formats: each pair meets, tight and roomy
        rows.emplace_back(test::encoded(test::button(kTexts[i % 40], kFonts[i % 7], 11 + i * 17 % 30, test::Look(i % 4), i >= 40), formats[i % 3]), kTexts[i % 40], i >= 40);
    const QSize sizes[] = {{320, 240}, {200, 60}, {640, 200}, {120, 120}};
    for (quint32 seed = 1; seed <= 44; ++seed)
        rows.emplace_back(test::encoded(test::photo(seed, sizes[seed % 4].width(), sizes[seed % 4].height()), formats[(seed + 2) % 3]), "", false);
    size_t texts[2] = {}, readRight[2] = {}, photos = 0, offered = 0; // texts by tight and roomy
    for (const auto& [picture, expected, roomy] : rows) {
        const PictureReader::Result result = reader->read(picture);
        const std::string suggestion = result.outcome == PictureReader::Outcome::Text ? result.text : "";
        const bool right = foldedWords(suggestion) == foldedWords(expected);
        (expected.empty() ? offered : readRight[roomy]) += expected.empty() ? (++photos, !right) : (++texts[roomy], right);
        if (!right)
            std::printf("expected \"%s\", read \"%s\" (%d) %s\n", expected.c_str(), suggestion.c_str(), result.confidence, result.why.c_str());
    }
    std::printf("Text pictures read right: %zu of %zu tight, %zu of %zu roomy; photos offered a text: %zu of %zu\n", readRight[0], texts[0],
                readRight[1], texts[1], offered, photos);
    for (const bool roomy : {false, true})
        EXPECT_GE(readRight[roomy] * 10, texts[roomy] * 9) << (roomy ? "roomy" : "tight");
    EXPECT_LE(offered * 20, photos);
}

// What is not read, and why: a picture too large, bytes that are no picture, a reading cancelled.
TEST_F(PictureReaderTest, SaysWhyItReadsNothing)
{
    using Outcome = PictureReader::Outcome;
    const QImage button = test::button("Contact us", "dejavu/DejaVuSans.ttf", 20, test::Look::Plain);
    const std::atomic<bool> cancelled = true;
    const std::tuple<std::string, const std::atomic<bool>*, Outcome, std::string> rows[] = {
        {test::encoded(button.scaled(4001, 60), "PNG"), nullptr, Outcome::Skipped, "too large to read: 4001 \xC3\x97 60 pixels"},
        {"<html>", nullptr, Outcome::Unreadable, "not a picture that can be read: its bytes are no GIF, PNG or JPEG"},
        {test::encoded(button, "PNG"), &cancelled, Outcome::NoText, ""},
    };
    for (const auto& [picture, cancel, outcome, why] : rows) {
        const PictureReader::Result result = reader->read(picture, cancel);
        EXPECT_EQ(std::tuple(result.outcome, result.why, result.text), std::tuple(outcome, why, std::string())) << why;
    }
}

} // namespace
} // namespace bw
