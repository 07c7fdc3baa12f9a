// Random batches, random sessions: no page of a batch ever holds more than its own ALT edits.
#include <gtest/gtest.h>

#include "support/BatchSession.h"

namespace bw::test {
namespace {

TEST(BatchIntact, RandomBatchesChangeOnlyTheirOwnPagesAltAttributes)
{
    int steps = 0;
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        SeededChoices choices(seed);
        BatchSession session(choices);
        std::string problem = session.run(30);
        steps += session.stepsRun();
        ASSERT_TRUE(problem.empty()) << "seed " << seed << ": " << problem;
    }
    EXPECT_GE(steps, 9000);
}

} // namespace
} // namespace bw::test
