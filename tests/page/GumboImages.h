#pragma once
// libgumbo's tree as the judge of the image finder: both give the same rows for a page.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "page/ImageFinder.h"

namespace bw::test {

struct ImageRow {
    ImageKind kind = ImageKind::Img;
    size_t offset = 0;               // the tag's "<"; for a body background, the attribute's name
    std::optional<std::string> src;  // src, href of an area, background of a body; as written
    std::optional<std::string> alt;  // as written
    friend bool operator==(const ImageRow&, const ImageRow&) = default;
};

// HTML img, input type=image and area href elements of gumbo's tree in page order, the
// body's background first.
std::vector<ImageRow> gumboImages(std::string_view page);
std::vector<ImageRow> finderImages(std::string_view page);

// Empty when both agree, else both lists.
std::string compareWithGumbo(std::string_view page);

// Whether gumbo's tree builder keeps every image tag of the page where its tokenizer saw it:
// select, frameset and isindex drop or make up elements; "</>" just before a tag, and unknown
// or spaced end tags around svg or math, mislead gumbo.
bool treeKeepsTags(std::string_view page);

// A deterministic page mixing the constructs the finder must read as the tokenizer does.
std::string makeTestPage(uint32_t seed);

// The page with control and non-ASCII bytes escaped, for messages.
std::string printable(std::string_view page);

} // namespace bw::test
