// The sample set: buttons and banners of known text, and photos without any, read by Tesseract.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/PictureReader.h"
#include "support/PictureSamples.h"
#include "text/PictureWords.h"

namespace bw {
namespace {

using test::Look;

struct TextRow {
    const char* text;
    const char* font; // under /usr/share/fonts/truetype
    int pixelSize;
    Look look;
    const char* format;
};

const TextRow kTextRows[] = {
    {"Home", "dejavu/DejaVuSans.ttf", 14, Look::Plain, "GIF"},
    {"Contact us", "dejavu/DejaVuSans-Bold.ttf", 12, Look::LightOnDark, "PNG"},
    {"About the company", "liberation/LiberationSans-Regular.ttf", 16, Look::Gradient, "JPG"},
    {"Buy now", "liberation/LiberationSans-Bold.ttf", 22, Look::Stripes, "GIF"},
    {"Download the brochure", "dejavu/DejaVuSerif.ttf", 18, Look::Plain, "PNG"},
    {"Sign in", "liberation/LiberationSerif-Bold.ttf", 11, Look::Plain, "JPG"},
    {"Next page", "dejavu/DejaVuSansCondensed-Bold.ttf", 28, Look::LightOnDark, "GIF"},
    {"Search", "liberation/LiberationSansNarrow-Regular.ttf", 20, Look::Gradient, "PNG"},
    {"Order today", "liberation/LiberationMono-Regular.ttf", 15, Look::Stripes, "JPG"},
    {"Free shipping on all orders", "liberation/LiberationSerif-Regular.ttf", 24, Look::Plain, "GIF"},
    {"Welcome to Riverside Gardens", "dejavu/DejaVuSans.ttf", 36, Look::Gradient, "PNG"},
    {"Back", "liberation/LiberationSans-Bold.ttf", 13, Look::LightOnDark, "JPG"},
    {"Opening hours", "dejavu/DejaVuSerif.ttf", 40, Look::Stripes, "PNG"},
    {"Our menu", "liberation/LiberationSans-Regular.ttf", 19, Look::Plain, "GIF"},
    {"Book a table", "dejavu/DejaVuSans-Bold.ttf", 17, Look::Gradient, "JPG"},
    {"Summer sale", "liberation/LiberationSerif-Bold.ttf", 32, Look::LightOnDark, "PNG"},
    {"Privacy policy", "dejavu/DejaVuSansCondensed-Bold.ttf", 12, Look::Plain, "PNG"},
    {"Gallery", "liberation/LiberationSansNarrow-Regular.ttf", 26, Look::Stripes, "GIF"},
    {"Subscribe", "dejavu/DejaVuSans.ttf", 21, Look::LightOnDark, "JPG"},
    {"Terms and conditions", "liberation/LiberationSans-Regular.ttf", 14, Look::Gradient, "GIF"},
    {"Latest news", "liberation/LiberationMono-Regular.ttf", 30, Look::Plain, "JPG"},
    {"Meet the team", "dejavu/DejaVuSerif.ttf", 23, Look::LightOnDark, "GIF"},
    {"Shop", "liberation/LiberationSans-Bold.ttf", 38, Look::Gradient, "PNG"},
    {"Find a store", "dejavu/DejaVuSans-Bold.ttf", 15, Look::Stripes, "PNG"},
    {"Events 2024", "liberation/LiberationSerif-Regular.ttf", 20, Look::Plain, "PNG"},
    {"Join us", "dejavu/DejaVuSansCondensed-Bold.ttf", 16, Look::Gradient, "GIF"},
    {"Learn more", "liberation/LiberationSans-Regular.ttf", 27, Look::LightOnDark, "PNG"},
    {"Frequently asked questions", "dejavu/DejaVuSans.ttf", 18, Look::Stripes, "JPG"},
    {"Call 0800 123 456", "liberation/LiberationSans-Bold.ttf", 25, Look::Plain, "JPG"},
    {"Recipes", "dejavu/DejaVuSerif.ttf", 13, Look::Gradient, "JPG"},
    {"Start here", "liberation/LiberationSansNarrow-Regular.ttf", 34, Look::Plain, "GIF"},
    {"Donate", "dejavu/DejaVuSans-Bold.ttf", 11, Look::LightOnDark, "GIF"},
    {"Careers", "liberation/LiberationSerif-Bold.ttf", 18, Look::Stripes, "PNG"},
    {"Site map", "dejavu/DejaVuSans.ttf", 12, Look::Gradient, "PNG"},
    {"Special offers", "liberation/LiberationMono-Regular.ttf", 22, Look::LightOnDark, "GIF"},
    {"Print this page", "dejavu/DejaVuSansCondensed-Bold.ttf", 20, Look::Stripes, "JPG"},
    {"Members area", "liberation/LiberationSans-Regular.ttf", 11, Look::Plain, "PNG"},
    {"Watch the video", "dejavu/DejaVuSerif.ttf", 29, Look::Plain, "JPG"},
    {"Log out", "liberation/LiberationSans-Bold.ttf", 16, Look::LightOnDark, "PNG"},
    {"Directions", "dejavu/DejaVuSans-Bold.ttf", 24, Look::Gradient, "GIF"},
};

// Every row read: a picture, and the suggestion expected ("" for none).
TEST(PictureReader, ReadsTheTextOfButtonsAndOffersNoneForPhotos)
{
    const std::unique_ptr<PictureReader> reader = makePictureReader();
    if (!reader->unavailable().empty())
        GTEST_SKIP() << reader->unavailable();
    std::vector<std::pair<std::string, std::string>> rows;
    for (const TextRow& row : kTextRows)
        rows.emplace_back(test::encoded(test::button(row.text, row.font, row.pixelSize, row.look), row.format), row.text);
    const char* formats[] = {"JPG", "PNG", "GIF"};
    const QSize sizes[] = {{320, 240}, {200, 60}, {640, 200}, {120, 120}};
    for (quint32 seed = 1; seed <= 40; ++seed)
        rows.emplace_back(test::encoded(test::photo(seed, sizes[seed % 4].width(), sizes[seed % 4].height()), formats[seed % 3]), "");
    for (const char* name : {"boat.jpg", "harbour.jpg", "tree.jpg", "seedlings.jpg"}) {
        std::ifstream in(std::string(BW_SOURCE_DIR "/examples/check/img/") + name, std::ios::binary);
        rows.emplace_back(std::string(std::istreambuf_iterator<char>(in), {}), "");
    }
    size_t texts = 0, readRight = 0, photos = 0, offered = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& [picture, expected] = rows[i];
        const PictureReader::Result result = reader->read(picture);
        const std::string suggestion = result.outcome == PictureReader::Outcome::Text ? result.text : "";
        const bool right = foldedWords(suggestion) == foldedWords(expected);
        (expected.empty() ? photos : texts)++;
        (expected.empty() ? offered : readRight) += expected.empty() ? !suggestion.empty() : right;
        if (!right)
            std::printf("row %zu: expected \"%s\", read \"%s\" (%d) %s\n", i, expected.c_str(), suggestion.c_str(), result.confidence, result.why.c_str());
    }
    std::printf("Text pictures read right: %zu of %zu (%.0f%%); photos offered a text: %zu of %zu (%.0f%%)\n", readRight, texts,
                100.0 * double(readRight) / double(texts), offered, photos, 100.0 * double(offered) / double(photos));
    EXPECT_GE(readRight * 10, texts * 9);
    EXPECT_LE(offered * 20, photos);
}

// What is not read, and why: a picture too large, bytes that are no picture, a reading cancelled.
TEST(PictureReader, SaysWhyItReadsNothing)
{
    const std::unique_ptr<PictureReader> reader = makePictureReader();
    if (!reader->unavailable().empty())
        GTEST_SKIP() << reader->unavailable();
    const std::string button = test::encoded(test::button("Contact us", "dejavu/DejaVuSans.ttf", 20, Look::Plain), "PNG");
    QImage banner = test::button("Contact us", "dejavu/DejaVuSans.ttf", 20, Look::Plain).scaled(4001, 60);
    const std::atomic<bool> cancelled = true;
    const struct {
        std::string picture;
        const std::atomic<bool>* cancel;
        PictureReader::Outcome outcome;
        const char* why;
    } rows[] = {
        {test::encoded(banner, "PNG"), nullptr, PictureReader::Outcome::Skipped, "too large to read: 4001 \xC3\x97 60 pixels"},
        {"<html>", nullptr, PictureReader::Outcome::Unreadable, "not a picture that can be read: its bytes are no GIF, PNG or JPEG"},
        {button, &cancelled, PictureReader::Outcome::NoText, ""},
    };
    for (const auto& row : rows) {
        const PictureReader::Result result = reader->read(row.picture, row.cancel);
        EXPECT_EQ(result.outcome, row.outcome) << row.why;
        EXPECT_EQ(result.why, row.why);
        EXPECT_EQ(result.text, "");
    }
}

} // namespace
} // namespace bw

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
