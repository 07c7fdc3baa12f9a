// Random pages, random sessions: no command ever changes more than ALT attributes.
#include <gtest/gtest.h>

#include "support/PageSession.h"

namespace bw::test {
namespace {

TEST(PageIntact, RandomSessionsChangeOnlyAltAttributes)
{
    int steps = 0;
    for (uint32_t seed = 1; seed <= 400; ++seed) {
        SeededChoices choices(seed);
        PageSession session(choices);
        std::string problem = session.run(25);
        steps += session.stepsRun();
        ASSERT_TRUE(problem.empty()) << "seed " << seed << ": " << problem;
    }
    EXPECT_GE(steps, 5000);
}

// Inputs on which the fuzzer once found a broken page.
TEST(PageIntact, FuzzerFindings)
{
    const std::vector<std::vector<uint8_t>> findings = {
        // One tag shared by a PNG-spanning entry and an unquoted one, copied eight times.
        {0x1, 0x0, 0xc7, 0xc7, 0xc7, 0xff, 0x18, 0x55, 0x55, 0x55, 0x4b, 0x4b, 0x4b, 0x4b, 0x4b, 0x4b, 0x4b,
         0x4b, 0x4b, 0x4b, 0x4b, 0x4b, 0x4b, 0x4b, 0x4b, 0x43, 0x4b, 0x4b, 0x4b, 0x4b, 0x4b, 0x4b, 0x4b, 0x4b,
         0x4b, 0x4b, 0x4b, 0x4b, 0x9,  0x9,  0x9,  0x9,  0x9,  0x9,  0x9,  0x9,  0x9,  0x9,  0x9,  0x9,  0x9,
         0x9,  0x9,  0x9,  0x9,  0x1d, 0x1d, 0x2a, 0x7a, 0x3b, 0x1d, 0xd7, 0x9,  0x2b, 0x9},
    };
    for (const auto& bytes : findings) {
        ByteChoices choices(bytes.data(), bytes.size());
        PageSession session(choices);
        EXPECT_EQ(session.run(1000), "");
    }
}

TEST(PageIntact, CheckerNoticesLostAndChangedBytes)
{
    const std::string page = "<p>x</p><img SRC=\"a.gif\" width=1><img SRC=\"b.gif\"></html>";
    const std::vector<size_t> first = {3}; // tokens: <p> x </p> <img a> <img b> </html>
    EXPECT_EQ(intactProblem(page, "<p>x</p><img SRC=\"a.gif\" ALT=\"new\" width=1><img SRC=\"b.gif\"></html>\r\n", first), "");
    EXPECT_NE(intactProblem(page, "<p>x</p><img SRC=\"a.gif\" ALT=\"new\" width=1><img SRC=\"b.gif\"></html", first), "");
    EXPECT_NE(intactProblem(page, "<p>y</p><img SRC=\"a.gif\" width=1><img SRC=\"b.gif\"></html>", first), "");
    EXPECT_NE(intactProblem(page, "<p>x</p><img SRC=\"a.gif\" width=1><img SRC=\"b.gif\" ALT=\"x\"></html>", first), "");
    EXPECT_NE(intactProblem(page, "<p>x</p><img SRC=\"a.gif\" ALT=\"new\"><img SRC=\"b.gif\"></html>", first), "");
    EXPECT_NE(intactProblem(page, "<p>x</p><img SRC=\"a.gif\" ALT=\"new\" width=1></html>", first), "");
}

} // namespace
} // namespace bw::test
