#pragma once
// libgumbo's tree as the judge of the image finder: both must list the same images of a page.
#include <cstdint>
#include <string>
#include <string_view>

namespace bw::test {

// Empty when the finder lists the images of gumbo's tree (HTML img, input type=image, area
// with href, the body's background first), each at its tag and with its address and ALT as
// written; else both lists, as written. withContexts: and when, on a UTF-8 page, each image
// sits in the link (href and text, its own ALT left out) and figure (caption) it sits in
// there, texts compared without white space; else what differs too.
std::string compareWithGumbo(std::string_view page, bool withContexts = false);

// A deterministic page mixing the constructs the finder must read as the tokenizer does.
std::string makeTestPage(uint32_t seed);

// A deterministic page of links, figures and blocks left open or closed out of order.
std::string makeStructurePage(uint32_t seed);

} // namespace bw::test
