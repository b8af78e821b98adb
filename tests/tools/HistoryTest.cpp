#include "tools/report/History.h"

#include <gtest/gtest.h>

#include "tools/testing/PlantHarness.h"

using namespace mimicbox;
using namespace std::chrono_literals;

namespace {

sim::PlantConfig FaultyPlant()
{
    sim::PlantConfig config;
    config.devices = {{TYPE_THERMO, 3}, {TYPE_RELAY, 1005}};
    config.stepMode = STEP_UP_FAST;
    config.temperatureText = "21.5";
    config.seed = 5;
    sim::FaultRule garbage;
    garbage.fault.kind = sim::FaultKind::kGarbage;
    garbage.fault.bytes = 6;
    garbage.fault.trigger.every = 3;
    config.faults.push_back(garbage);
    return config;
}

sim::Event Sent(std::size_t device, sim::Instant at)
{
    sim::Event event{};
    event.kind = sim::EventKind::kSent;
    event.device = device;
    event.identity = {TYPE_RELAY, 1001};
    event.time = at;
    event.lateness = 2ms;
    event.record = "x";
    return event;
}

}  // namespace

// The faulty plant with a history of its own, started.
class HistoryOfAPlant : public ::testing::Test {
protected:
    HistoryOfAPlant()
    {
        harness.Build(FaultyPlant());
        harness.Add(history);
        harness.Start();
    }

    mimicbox::testing::PlantHarness harness;
    report::History history{harness.scheduler.Now()};
};

TEST_F(HistoryOfAPlant, ReportsCarryTheBytesExactlyAsSentFaultsIncluded)
{
    harness.scheduler.Advance(40s);

    for (std::size_t device = 0; device < 2; ++device) {
        const auto sent = harness.recorded.Of(sim::EventKind::kSent, device);
        const std::vector<report::ReportSample> reports = history.Reports(device);
        ASSERT_GE(sent.size(), 20u);
        ASSERT_EQ(reports.size(), std::min<std::size_t>(sent.size(), 64));
        for (std::size_t back = 1; back <= 20; ++back) {
            const auto& expected = sent[sent.size() - back];
            const report::ReportSample& report = reports[reports.size() - back];
            EXPECT_EQ(report.record, expected.record) << "device " << device << ", report -" << back;
            EXPECT_EQ(report.fault != nullptr, expected.event.fault != nullptr);
        }
        // Older reports keep their value and time, not their bytes.
        EXPECT_TRUE(reports.front().record.empty());
    }
    // The Thermo-Box's values climb by 0.1 per report from 21.5.
    const auto thermo = history.Reports(0);
    EXPECT_NEAR(thermo[1].value - thermo[0].value, 0.1, 1e-4);
    EXPECT_EQ(history.LastValue(0), thermo.back().value);
    EXPECT_EQ(history.LastValue(1), history.Reports(1).back().value);
    EXPECT_EQ(history.LastValue(7), 0.0f);
}

TEST_F(HistoryOfAPlant, SeriesAddUpToTheRunsTotals)
{
    harness.scheduler.Advance(30s);
    history.Advance(harness.scheduler.Now());

    const std::vector<report::SeriesPoint> series = history.Series();
    ASSERT_EQ(series.size(), 30u);
    uint64_t sent = 0;
    uint64_t garbage = 0;
    for (std::size_t i = 0; i < series.size(); ++i) {
        EXPECT_EQ(series[i].second, i);
        sent += series[i].sent;
        garbage += series[i].faults[static_cast<std::size_t>(sim::FaultKind::kGarbage)];
    }
    EXPECT_EQ(sent, harness.summary->Reports());
    EXPECT_EQ(garbage, harness.summary->Faults());
    EXPECT_EQ(series.back().connected, 2u);
}

TEST(HistoryTest, OldSecondsMergeIntoCoarserPointsAndNothingIsLost)
{
    const sim::Instant start{};
    report::HistoryLimits limits;
    limits.fineSeconds = 10;
    limits.coarsePoints = 4;
    limits.coarseWidth = 5;
    report::History history(start, limits);
    // A report a second on time for 200 s, and in every odd second one more, late.
    for (int second = 0; second < 200; ++second) {
        history.OnEvent(Sent(0, start + std::chrono::seconds(second)));
        if (second % 2 == 1) {
            sim::Event late = Sent(0, start + std::chrono::seconds(second) + 500ms);
            late.lateness = 9ms;
            history.OnEvent(late);
        }
    }
    history.Advance(start + 200s);

    const std::vector<report::SeriesPoint> series = history.Series();
    EXPECT_LE(series.size(), limits.fineSeconds + limits.coarsePoints);
    uint64_t sent = 0;
    uint32_t expectedSecond = 0;
    for (const report::SeriesPoint& point : series) {
        EXPECT_EQ(point.second, expectedSecond) << "the points cover the run without gap or overlap";
        expectedSecond += point.width;
        sent += point.sent;
        // A merged point is never better than its worst second.
        const float worst = point.width > 1 || point.second % 2 == 1 ? 9.0f : 2.0f;
        EXPECT_NEAR(point.max, worst, 0.01) << point.second;
        EXPECT_NEAR(point.p99, worst, 0.01) << point.second;
    }
    EXPECT_EQ(expectedSecond, 200u);
    EXPECT_EQ(sent, 300u);
    EXPECT_EQ(series.back().width, 1u);
    EXPECT_GT(series.front().width, limits.coarseWidth);
}

TEST(HistoryTest, AnEmptyStretchOfAnyLengthIsOnePoint)
{
    // Thirty years without an event: closed second by second, this would not end.
    const sim::Instant start{};
    report::History history(start);
    history.OnEvent(Sent(0, start + 500ms));
    history.OnEvent(Sent(0, start + 900'000'000s));
    history.Advance(start + 900'000'002s);
    const std::vector<report::SeriesPoint> series = history.Series();
    ASSERT_EQ(series.size(), 4u);
    uint32_t covered = 0;
    uint64_t sent = 0;
    for (const report::SeriesPoint& point : series) {
        EXPECT_EQ(point.second, covered);
        covered += point.width;
        sent += point.sent;
    }
    EXPECT_EQ(covered, 900'000'002u);
    EXPECT_EQ(sent, 2u);
    EXPECT_EQ(series[1].width, 900'000'000u - 1);
}

TEST(HistoryTest, FaultedBytesBeyondTheirBudgetAreDroppedNotRebuiltWrongly)
{
    report::HistoryLimits limits;
    limits.faultedBytes = 10;
    const sim::Instant start{};
    report::History history(start, limits);
    for (int i = 0; i < 3; ++i) {
        sim::Event event = Sent(0, start + std::chrono::seconds(i));
        event.fault = "garbage";
        event.record = "garbage!";  // 8 bytes: only the newest fits
        history.OnEvent(event);
    }
    const auto reports = history.Reports(0);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].record, "");
    EXPECT_EQ(reports[1].record, "");
    EXPECT_EQ(reports[2].record, "garbage!");
    EXPECT_LE(history.MemoryBytes(), 64u * 1024);
}

TEST(HistoryTest, TenThousandDevicesOverADayStayWithinSixteenMegabytes)
{
    const sim::Instant start{};
    report::History history(start);
    for (int report = 0; report < 70; ++report) {
        for (std::size_t device = 0; device < 10000; ++device) {
            sim::Event event = Sent(device, start + std::chrono::milliseconds(report * 500));
            event.record = "TolvarkControl: 8, 1001, 4, 0, 0, 1, 10;1796672034, 1, 0;";
            if (device % 50 == 0)
                event.fault = "garbage";
            history.OnEvent(event);
        }
    }
    history.Advance(start + 24h);
    EXPECT_EQ(history.Series().back().second + history.Series().back().width, 24u * 3600);
    EXPECT_LE(history.MemoryBytes(), 16u << 20);
}
