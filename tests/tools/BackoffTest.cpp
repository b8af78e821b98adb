#include "tools/sim/Backoff.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace mimicbox::sim;
using namespace std::chrono_literals;

TEST(BackoffTest, DelaysSpreadOverADoublingWindowCappedAtThirtySeconds)
{
    Random random(42);
    for (int attempt = 0; attempt < 12; ++attempt) {
        const Nanos window = std::min<Nanos>(500ms * (1LL << attempt), 30s);
        Nanos smallest = window;
        Nanos largest{0};
        for (int i = 0; i < 2000; ++i) {
            const Nanos delay = BackoffDelay(500ms, attempt, random);
            ASSERT_GE(delay, 0ns);
            ASSERT_LE(delay, window);
            smallest = std::min(smallest, delay);
            largest = std::max(largest, delay);
        }
        // Full jitter uses the whole window, not just its top.
        EXPECT_LT(smallest, window / 10) << attempt;
        EXPECT_GT(largest, window * 9 / 10) << attempt;
    }
}

TEST(BackoffTest, ABaseAboveTheCapIsItsOwnCap)
{
    Random random(1);
    for (int i = 0; i < 100; ++i)
        EXPECT_LE(BackoffDelay(60s, 5, random), 60s);
}

TEST(BackoffTest, TheSameSeedGivesTheSameDelays)
{
    Random first(9);
    Random second(9);
    for (int attempt = 0; attempt < 20; ++attempt)
        EXPECT_EQ(BackoffDelay(1s, attempt, first), BackoffDelay(1s, attempt, second));
}
