// libFuzzer: the image finder and libgumbo's tree must see the same images in any bytes.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "page/GumboImages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    if (!bw::test::treeKeepsTags(page))
        return 0;
    const std::string problem = bw::test::compareWithGumbo(page);
    if (!problem.empty()) {
        std::fprintf(stderr, "page: %s\n%s", bw::test::printable(page).c_str(), problem.c_str());
        std::abort();
    }
    return 0;
}
