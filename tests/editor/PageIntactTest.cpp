// Random pages, random sessions on one page or walking batches: no command ever changes more
// than ALT attributes.
#include <gtest/gtest.h>

#include "support/Session.h"

namespace bw::test {
namespace {

using namespace std::string_literals;

TEST(Intact, RandomSessionsChangeOnlyAltAttributes)
{
    for (const bool batch : {false, true})
        for (uint32_t seed = 1; seed <= 1000; ++seed) {
            SeededChoices choices(seed);
            ASSERT_EQ(runSession(choices, batch, 25), "") << (batch ? "batch" : "page") << ", seed " << seed;
        }
}

// Inputs on which the fuzzer once found a broken page; they replay while the parts of
// Session.cpp's pages stay as they are.
TEST(Intact, FuzzerFindings)
{
    const std::string findings[] = {
        // One tag shared by a PNG-spanning entry and an unquoted one, copied eight times.
        "\x01\x00\xc7\xc7\xc7\xff\x18\x55\x55\x55\x4b\x4b\x4b\x4b\x4b\x4b\x4b\x4b\x4b\x4b\x4b\x4b\x4b\x4b\x4b\x43\x4b\x4b\x4b\x4b"
        "\x4b\x4b\x4b\x4b\x4b\x4b\x4b\x4b\x09\x09\x09\x09\x09\x09\x09\x09\x09\x09\x09\x09\x09\x09\x09\x09\x09\x1d\x1d\x2a\x7a"
        "\x3b\x1d\xd7\x09\x2b\x09"s,
        // An entry running on into a tag whose SRC another program had renamed: the ALT went
        // inside the file name's quotes.
        "\xf6\xd0\x00\x00\x00\x3c\x69\x6d\x67\x20\x73\x72\x63\x3d\x22\x66\x2e\x70\x6e\x67\x22\x0d\x0a\x20\x20\x61\x6c\x74\x3d\x22"
        "\x61\x20\x20\x62\x22\x0d\x0a\x20\x20\x62\x6f\x72\x64\x65\x72\x3d\x30\x3e\x3c\x69\x6d\x67\x20\x73\x72\x63\x3d\x22\x66\x2e"
        "\x70\x6e\x67\x22\x0d\x0a\x20\x20\x61\xf7\xc6\xfe\xfe\x0a\xbb\xbf\xfb\xf7\xf7\xc6\xfe\xfe\xfe\x25\x00\x3c\x69\x6d\x67\x20"
        "\x73\x72\x63\x3d\x67\x2e\x67\x69\x66\x2e\x75\x00\x3c\x1b"s,
    };
    for (const std::string& bytes : findings) {
        ByteChoices choices(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        EXPECT_EQ(runSession(choices, false, 1000, false), "");
    }
}

} // namespace
} // namespace bw::test
