#include "tools/capture/RecordRewriter.h"

#include <gtest/gtest.h>

using mimicbox::capture::RecordRewriter;

namespace {

const std::string kReport = std::string("TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1765000000, 21.500000;") + '\0';

}  // namespace

TEST(RecordRewriterTest, WithNothingToChangeChunksPassAsRecorded)
{
    RecordRewriter rewriter(0, false);
    EXPECT_EQ(rewriter.Feed(kReport.substr(0, 10), 99), kReport.substr(0, 10));
    EXPECT_EQ(rewriter.Feed(kReport.substr(10), 99), kReport.substr(10));
}

TEST(RecordRewriterTest, ReportsTakeTheNewSerialAndClockEvenWhenSplitAcrossChunks)
{
    RecordRewriter rewriter(2005, true);
    EXPECT_EQ(rewriter.Feed(kReport.substr(0, 40), 1800000000), "");
    EXPECT_EQ(rewriter.Feed(kReport.substr(40) + "garbage", 1800000000),
              std::string("TolvarkControl: 16, 2005, 4, 0, 0, 1, 10;1800000000, 21.500000;") + '\0');
    // Malformed records from the field go out as they came.
    EXPECT_EQ(rewriter.Feed(std::string("\0", 1), 1800000000), std::string("garbage\0", 8));
}

TEST(RecordRewriterTest, ClocksPastTwentyThirtyEightAreWrittenAsTheirLow32BitsSigned)
{
    RecordRewriter rewriter(0, true);
    EXPECT_EQ(rewriter.Feed(kReport, 2147483648LL), std::string("TolvarkControl: 16, 3, 4, 0, 0, 1, 10;-2147483648, 21.500000;") + '\0');
}
