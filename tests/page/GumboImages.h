#pragma once
// libgumbo's tree as the judge of the image finder: both must list the same images of a page.
#include <cstdint>
#include <string>
#include <string_view>

namespace bw::test {

// Empty when the finder lists the images of gumbo's tree (HTML img, input type=image, area
// with href, the body's background first), each at its tag and with its address and ALT as
// written; else both lists, as written.
std::string compareWithGumbo(std::string_view page);

// A deterministic page mixing the constructs the finder must read as the tokenizer does.
std::string makeTestPage(uint32_t seed);

} // namespace bw::test
