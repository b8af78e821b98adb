#include "tools/report/PlantLogs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace mimicbox::report;
using ::testing::HasSubstr;

namespace {

LogSpan Shard(const char* path, const char* run, const char* plant, std::size_t shard, std::size_t shards,
              int64_t start = 1'000'000, int64_t end = 1'060'000)
{
    return {path, {run, plant, shard, shards}, start, end};
}

}  // namespace

TEST(PlantLogsTest, OnlyTheShardsOfOnePlantEachOnceThatRanTogetherAreMerged)
{
    const struct {
        std::vector<LogSpan> logs;
        const char* refusal;  // "" when merged
        const char* missing;
    } rows[] = {
        {{Shard("a", "r1", "p", 0, 1)}, "", ""},
        {{Shard("a", "r1", "p", 0, 3), Shard("b", "r2", "p", 2, 3, 1'005'000, 1'070'000)}, "", "1/3"},
        {{Shard("a", "r1", "p", 0, 1), Shard("a", "r1", "p", 0, 1)}, "a and a are the same run (r1)", ""},
        {{Shard("a", "r1", "p", 0, 2), Shard("b", "r2", "q", 1, 2)}, "a is of plant p and b of plant q", ""},
        {{Shard("a", "r1", "p", 0, 2), Shard("b", "r2", "p", 0, 2)}, "are both shard 0/2 of plant p, from two runs", ""},
        {{Shard("a", "r1", "p", 0, 2), Shard("b", "r2", "p", 1, 3)}, "a is one of 2 shards and b one of 3", ""},
        // A day apart: two runs of the same plant.
        {{Shard("a", "r1", "p", 0, 2), Shard("b", "r2", "p", 1, 2, 87'400'000, 87'460'000)}, "b began 86340 s after a ended", ""},
        // Seconds apart, as shards start: one run.
        {{Shard("a", "r1", "p", 0, 2, 1'000'000, 1'002'000), Shard("b", "r2", "p", 1, 2, 1'030'000, 1'090'000)}, "", ""},
    };
    for (const auto& row : rows) {
        std::string error;
        std::string missing;
        const bool merged = OnePlant(row.logs, error, missing);
        EXPECT_EQ(merged, *row.refusal == '\0') << row.refusal << error;
        EXPECT_THAT(error, HasSubstr(row.refusal));
        EXPECT_EQ(missing, row.missing);
    }
}

TEST(PlantLogsTest, TheReportSaysWhichRunsItCovers)
{
    EXPECT_EQ(CoveredRuns({Shard("a", "r1", "r1", 0, 1)}), "run r1");
    EXPECT_EQ(CoveredRuns({Shard("a", "r1", "p", 1, 2)}), "run r1, shard 1/2 of plant p");
    EXPECT_EQ(CoveredRuns({Shard("a", "r1", "p", 0, 3), Shard("b", "r2", "p", 1, 3)}), "plant p, 2 of its 3 shards");
}
