#include "tools/sim/RecordedCommands.h"

#include <gtest/gtest.h>

using mimicbox::sim::FirstDifference;
using mimicbox::sim::TimedRecord;

namespace {

const std::string kToggle = "TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;";

}  // namespace

TEST(RecordedCommandsTest, AlikeWithinTheTolerance)
{
    EXPECT_FALSE(FirstDifference({{1.0, kToggle}, {2.0, kToggle}}, {{1.2, kToggle}, {1.8, kToggle}}, 0.25));
    EXPECT_FALSE(FirstDifference({}, {}, 0));
}

TEST(RecordedCommandsTest, TheFirstDifferenceIsNamed)
{
    EXPECT_EQ(*FirstDifference({{1.0, kToggle}}, {{1.5, kToggle}}, 0.25),
              "record 1 came \"" + kToggle + "\" at 1.500 s, recorded at 1.000 s: more than 0.250 s apart");
    EXPECT_EQ(*FirstDifference({{1.0, kToggle}, {2.0, kToggle}}, {{1.0, kToggle}}, 0.25),
              "record 2 of the recording, \"" + kToggle + "\" at 2.000 s, never came");
    EXPECT_EQ(*FirstDifference({}, {{3.0, kToggle}}, 0.25), "record 1, \"" + kToggle + "\" at 3.000 s, is not in the recording");
    EXPECT_EQ(*FirstDifference({{1.0, kToggle}}, {{1.0, std::string("x\x01")}}, 0.25),
              "record 1 differs: \"x\\x01\" at 1.000 s, recorded \"" + kToggle + "\" at 1.000 s");
}
