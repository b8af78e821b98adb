#include "tools/server/RecordDecoder.h"

#include <gtest/gtest.h>

using namespace mimicbox;

TEST(RecordDecoderTest, ReportsOfBothModelsAreDecoded)
{
    const DecodedRecord thermo = DecodeRecord("TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1765000000, 21.500000;");
    EXPECT_TRUE(thermo.bReadable);
    EXPECT_EQ(thermo.strText, "Thermo-Box 3  2025-12-06 05:46:40 UTC  21.500000 \xC2\xB0" "C");
    const DecodedRecord relay = DecodeRecord("TolvarkControl: 8, 1001, 4, 0, 0, 1, 10;1765000000, 1, 0;");
    EXPECT_TRUE(relay.bReadable);
    EXPECT_EQ(relay.nSerial, 1001);
    EXPECT_EQ(relay.strText, "Relay-Box 1001  2025-12-06 05:46:40 UTC  switch on");
}

TEST(RecordDecoderTest, ClockPastTwentyThirtyEightIsReadAsTheTimeThatFollows)
{
    EXPECT_EQ(ClockSeconds(-2147483647 - 1), int64_t{2147483648});
    EXPECT_EQ(ClockSeconds(1765000000), 1765000000);
    const DecodedRecord relay = DecodeRecord("TolvarkControl: 8, 1001, 4, 0, 0, 1, 10;-2147483648, 0, 0;");
    EXPECT_EQ(relay.strText, "Relay-Box 1001  2038-01-19 03:14:08 UTC  switch off");
}

TEST(RecordDecoderTest, OtherCommandsAreNamed)
{
    const DecodedRecord toggle = DecodeRecord("TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;");
    EXPECT_TRUE(toggle.bReadable);
    EXPECT_EQ(toggle.strText, "command 11 for device 8, serial 1005 (switch toggle)");
    EXPECT_EQ(DecodeRecord("TolvarkControl: 8, 1005, 4, 0, 0, 1, 13;42;").strText,
              "command 13 for device 8, serial 1005, value 42");
    EXPECT_EQ(DecodeRecord("TolvarkControl: 8, 1005, 4, 0, 0, 1, 13;x;").strText, "command 13 for device 8, serial 1005");
    EXPECT_EQ(DecodeRecord("TolvarkControl: 16, 2, 4, 0, 0, 1, 14;hello;rest").strText,
              "command 14 for device 16, serial 2, text \"hello\"");
}

TEST(RecordDecoderTest, BadRecordsAreFlaggedWithTheirBytes)
{
    struct Row {
        const char* pszRecord;
        const char* pszText;
    };
    const Row rows[] = {
        {"hello", "unreadable record (no header): \"hello\""},
        {"TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1765000000, 21.5;",
         "unreadable record (bad Thermo-Box report): \"TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1765000000, 21.5;\""},
        {"TolvarkControl: 8, 1001, 4, 0, 0, 1, 10;1765000000, 2, 0;",
         "unreadable record (bad Relay-Box report): \"TolvarkControl: 8, 1001, 4, 0, 0, 1, 10;1765000000, 2, 0;\""},
        {"TolvarkControl: 8, 1001, 4, 0, 0, 1, 10;1765000000, 1, 0",
         "unreadable record (bad Relay-Box report): \"TolvarkControl: 8, 1001, 4, 0, 0, 1, 10;1765000000, 1, 0\""},
        {"TolvarkControl: 9, 1, 4, 0, 0, 1, 10;1, 1, 0;",
         "unreadable record (unknown device type): \"TolvarkControl: 9, 1, 4, 0, 0, 1, 10;1, 1, 0;\""},
        {"\xff\x01\\", "unreadable record (no header): \"\\xFF\\x01\\\\\""},
    };
    for (const Row& row : rows) {
        const DecodedRecord decoded = DecodeRecord(row.pszRecord);
        EXPECT_FALSE(decoded.bReadable) << row.pszRecord;
        EXPECT_EQ(decoded.strText, row.pszText);
    }
}
