#include "tools/sim/Histogram.h"

#include <gtest/gtest.h>

using namespace mimicbox::sim;
using namespace std::chrono_literals;

TEST(HistogramTest, PercentilesLieWithinABucketOfTheTruth)
{
    RunHistogram run;
    DeviceHistogram device;
    // 1 us to 10 ms in steps of 1 us: the q-quantile is q * 10 ms.
    for (int micros = 1; micros <= 10000; ++micros) {
        run.Add(std::chrono::microseconds(micros));
        device.Add(std::chrono::microseconds(micros));
    }
    for (const double q : {0.5, 0.9, 0.99}) {
        const double truth = q * 10e6;
        EXPECT_NEAR(static_cast<double>(run.Percentile(q).count()), truth, truth * 0.07) << q;
        EXPECT_NEAR(static_cast<double>(device.Percentile(q).count()), truth, truth * 0.26) << q;
        EXPECT_GE(run.Percentile(q).count(), truth) << q;
    }
    EXPECT_EQ(run.Max(), 10ms);
    EXPECT_EQ(run.Percentile(1.0), 10ms);
    EXPECT_EQ(run.Count(), 10000u);
}

TEST(HistogramTest, ExtremesStayInTheirEndBuckets)
{
    DeviceHistogram histogram;
    EXPECT_EQ(histogram.Percentile(0.99), 0ns);
    histogram.Add(-5ms);
    histogram.Add(0ns);
    histogram.Add(400ns);
    EXPECT_EQ(histogram.Percentile(0.99), 400ns);
    histogram.Add(3h);
    EXPECT_EQ(histogram.Max(), 3h);
    EXPECT_EQ(histogram.Percentile(1.0), 3h);
}

TEST(HistogramTest, ARankOnABucketsLastValueStaysInThatBucket)
{
    // 99 values of 1 us and one of 10 ms: the 99th of 100 is 1 us, the 100th 10 ms.
    RunHistogram run;
    for (int i = 0; i < 99; ++i)
        run.Add(1us);
    run.Add(10ms);
    EXPECT_LT(run.Percentile(0.99), 2us);
    EXPECT_EQ(run.Percentile(0.991), 10ms);
}
