#include "tools/sim/Profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace mimicbox;
using namespace mimicbox::sim;

namespace {

Profile Table(std::vector<TablePoint> points, bool linear, bool loop)
{
    Profile profile;
    profile.kind = ProfileKind::kTable;
    profile.points = std::make_shared<std::vector<TablePoint>>(std::move(points));
    profile.linear = linear;
    profile.loop = loop;
    return profile;
}

double At(const Profile& profile, double elapsed, double start = 0, double current = 0)
{
    Random random(1);
    return ProfileValue(profile, elapsed, start, current, random);
}

}  // namespace

TEST(ProfileTest, RampsRiseOrFallFromTheirStartAndHoldAtTheirEnd)
{
    Profile ramp;
    ramp.kind = ProfileKind::kRamp;
    ramp.rate = 2.0;
    EXPECT_DOUBLE_EQ(At(ramp, 1.5, 10), 13.0);
    ramp.to = 12.0;
    EXPECT_DOUBLE_EQ(At(ramp, 0.5, 10), 11.0);
    EXPECT_DOUBLE_EQ(At(ramp, 100, 10), 12.0);
    ramp.rate = -0.5;
    ramp.to = -20.0;
    EXPECT_DOUBLE_EQ(At(ramp, 4, 0), -2.0);
    EXPECT_DOUBLE_EQ(At(ramp, 1000, 0), -20.0);
}

TEST(ProfileTest, SinesFollowMeanAmplitudePeriodAndPhase)
{
    Profile sine;
    sine.kind = ProfileKind::kSine;
    sine.mean = 20;
    sine.amplitude = 5;
    sine.period = 6;
    EXPECT_NEAR(At(sine, 0), 20, 1e-9);
    EXPECT_NEAR(At(sine, 1.5), 25, 1e-9);
    EXPECT_NEAR(At(sine, 4.5), 15, 1e-9);
    sine.phase = std::numbers::pi / 2;
    EXPECT_NEAR(At(sine, 0), 25, 1e-9);
}

TEST(ProfileTest, TablesHoldOrInterpolateAndLoop)
{
    const std::vector<TablePoint> points = {{0, 10}, {2, 20}, {4, 10}};
    struct Row {
        bool linear;
        bool loop;
        double elapsed;
        double expected;
    };
    const Row rows[] = {
        {false, false, 1.5, 10}, {true, false, 1.5, 17.5}, {true, false, 3, 15},   {true, false, 9, 10},
        {false, false, 2, 20},   {true, true, 5.5, 17.5},  {false, true, 6.5, 20}, {false, true, 8, 10},
    };
    for (const Row& row : rows)
        EXPECT_DOUBLE_EQ(At(Table(points, row.linear, row.loop), row.elapsed), row.expected)
            << "linear " << row.linear << " loop " << row.loop << " at " << row.elapsed;
    // A table that starts later holds its first value until then.
    EXPECT_DOUBLE_EQ(At(Table({{5, 30}, {6, 40}}, true, false), 1), 30);
}

TEST(ProfileTest, RandomWalksStayInBoundsAndRepeatWithTheirSeed)
{
    Profile walk;
    walk.kind = ProfileKind::kRandomWalk;
    walk.sigma = 3;
    walk.min = 10;
    walk.max = 20;
    Random first(42);
    Random second(42);
    double a = 15;
    double b = 15;
    bool moved = false;
    for (int i = 0; i < 1000; ++i) {
        const double next = ProfileValue(walk, 0, 15, a, first);
        moved = moved || next != a;
        a = next;
        b = ProfileValue(walk, 0, 15, b, second);
        ASSERT_GE(a, 10);
        ASSERT_LE(a, 20);
        ASSERT_EQ(a, b);
    }
    EXPECT_TRUE(moved);
}

TEST(ProfileTest, StepModesAreReadByTheirNames)
{
    int mode = -1;
    EXPECT_TRUE(ParseStepMode("up-fast", mode));
    EXPECT_EQ(mode, STEP_UP_FAST);
    EXPECT_TRUE(ParseStepMode("none", mode));
    EXPECT_EQ(mode, STEP_NONE);
    EXPECT_FALSE(ParseStepMode("Up", mode));
    EXPECT_FALSE(ParseStepMode("", mode));
    EXPECT_EQ(mode, STEP_NONE);
}
