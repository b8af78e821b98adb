#include "tools/report/RecordDecoder.h"

#include <gtest/gtest.h>

using namespace mimicbox::report;

namespace {

struct Decoded {
    bool readable;
    int32_t serial;
    std::string text;
};

Decoded Decode(std::string_view record)
{
    const RecordCheck check = CheckRecord(record);
    return {check.readable, check.serial, DescribeRecord(record, check)};
}

}  // namespace

TEST(RecordDecoderTest, ReportsOfBothModelsAreDecoded)
{
    const Decoded thermo = Decode("TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1765000000, 21.500000;");
    EXPECT_TRUE(thermo.readable);
    EXPECT_EQ(thermo.text, "Thermo-Box 3  2025-12-06 05:46:40 UTC  21.500000 \xC2\xB0" "C");
    const Decoded relay = Decode("TolvarkControl: 8, 1001, 4, 0, 0, 1, 10;1765000000, 1, 0;");
    EXPECT_TRUE(relay.readable);
    EXPECT_EQ(relay.serial, 1001);
    EXPECT_EQ(relay.text, "Relay-Box 1001  2025-12-06 05:46:40 UTC  switch on");
}

TEST(RecordDecoderTest, ClockPastTwentyThirtyEightIsReadAsTheTimeThatFollows)
{
    EXPECT_EQ(ClockSeconds(-2147483647 - 1), int64_t{2147483648});
    EXPECT_EQ(ClockSeconds(1765000000), 1765000000);
    const Decoded relay = Decode("TolvarkControl: 8, 1001, 4, 0, 0, 1, 10;-2147483648, 0, 0;");
    EXPECT_EQ(relay.text, "Relay-Box 1001  2038-01-19 03:14:08 UTC  switch off");
}

TEST(RecordDecoderTest, OtherCommandsAreNamed)
{
    const Decoded toggle = Decode("TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;");
    EXPECT_TRUE(toggle.readable);
    EXPECT_EQ(toggle.text, "command 11 for device 8, serial 1005 (switch toggle)");
    EXPECT_EQ(Decode("TolvarkControl: 8, 1005, 4, 0, 0, 1, 13;42;").text,
              "command 13 for device 8, serial 1005, value 42");
    EXPECT_EQ(Decode("TolvarkControl: 8, 1005, 4, 0, 0, 1, 13;x;").text, "command 13 for device 8, serial 1005");
    EXPECT_EQ(Decode("TolvarkControl: 16, 2, 4, 0, 0, 1, 14;hello;rest").text,
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
        const Decoded decoded = Decode(row.pszRecord);
        EXPECT_FALSE(decoded.readable) << row.pszRecord;
        EXPECT_EQ(decoded.text, row.pszText);
    }
}
