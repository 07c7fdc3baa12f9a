// libFuzzer: the image finder and libgumbo's tree must see the same images in any bytes.
#include <gumbo.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "page/GumboImages.h"

namespace {

// Whether gumbo's tree builder keeps every image tag of the page where its tokenizer saw it:
// select, frameset and isindex drop or make up elements; "</>" just before a tag, and unknown
// or spaced end tags around svg or math, mislead gumbo.
bool treeKeepsTags(std::string_view page)
{
    std::string lower(page);
    for (char& c : lower)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
    // Gumbo also counts "</>" into the next tag, whose name it then misreads in svg and math.
    for (const char* word : {"select", "frameset", "isindex", "</><"})
        if (lower.find(word) != std::string::npos)
            return false;
    // Gumbo places an attribute that begins with NUL after the NUL, and loses some named by
    // other control characters.
    for (const char c : lower)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\f' && c != '\r')
            return false;
    if (lower.find("<svg") == std::string::npos && lower.find("<math") == std::string::npos)
        return true;
    // In and around svg and math, gumbo takes any two tags it has no name for as the same,
    // and matches end tags by their text, so that "</svg >" closes nothing.
    for (size_t at = lower.find("</"); at != std::string::npos; at = lower.find("</", at + 2)) {
        const size_t end = lower.find_first_of("\t\n\f\r />", at + 2);
        const std::string_view name = std::string_view(lower).substr(at + 2, end - at - 2);
        if (!name.empty() && (gumbo_tagn_enum(name.data(), static_cast<unsigned>(name.size())) == GUMBO_TAG_UNKNOWN ||
                              (end != std::string::npos && lower[end] != '>')))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    if (!treeKeepsTags(page))
        return 0;
    const std::string problem = bw::test::compareWithGumbo(page);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s", problem.c_str()); // libFuzzer keeps the page
        std::abort();
    }
    return 0;
}
