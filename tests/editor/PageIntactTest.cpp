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
