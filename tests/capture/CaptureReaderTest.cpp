#include "tools/capture/CaptureReader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tools/capture/CaptureLine.h"

using namespace mimicbox::capture;
using ::testing::HasSubstr;

namespace {

const std::string kHeader = R"({"capture":"mimicbox","version":1,"source":"record","server":"127.0.0.1:54741"})" "\n";

}  // namespace

TEST(CaptureReaderTest, WhatIsWrittenReadsBackByteForByte)
{
    CaptureEvent data;
    data.t = 1.25;
    data.conn = 3;
    data.peer = "127.0.0.1:50000";
    data.from = Side::kServer;
    data.bytes = std::string("TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;\0\xff\x01\x80", 45);
    CaptureEvent reset = data;
    reset.kind = CaptureKind::kReset;
    reset.bytes.clear();
    reset.reason = "Connection reset by peer";
    const std::string text = HeaderLine({"import", "10.0.0.1:54741", 5}) + EventLine(data, {"TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;"}) +
                             EventLine(reset, {});
    Capture capture;
    std::string error;
    ASSERT_TRUE(ParseCapture(text, "c.jsonl", capture, error)) << error;
    EXPECT_EQ(capture.header.server, "10.0.0.1:54741");
    ASSERT_EQ(capture.events.size(), 2u);
    EXPECT_EQ(capture.events[0].bytes, data.bytes);
    EXPECT_EQ(capture.events[0].from, Side::kServer);
    EXPECT_EQ(capture.events[0].conn, 3u);
    EXPECT_EQ(capture.events[1].kind, CaptureKind::kReset);
    EXPECT_EQ(capture.events[1].reason, "Connection reset by peer");
    EXPECT_THAT(text, HasSubstr(R"("records":[{"model":"relay","serial":1005,"command":11}])"));
}

TEST(CaptureReaderTest, TextFieldsSurviveAReadAndAWrite)
{
    // As a person might write them into a capture, and as written by the program.
    const char* const texts[] = {"p\xc3\xa9:1", "\xe2\x82\xac", "tab\there \"quoted\"", "\xff\xfe no UTF-8"};
    for (const char* text : texts) {
        CaptureEvent event;
        event.kind = CaptureKind::kReset;
        event.peer = text;
        event.reason = text;
        const std::string written = HeaderLine({"record", text, 0}) + EventLine(event, {});
        Capture once;
        std::string error;
        ASSERT_TRUE(ParseCapture(written, "c.jsonl", once, error)) << error;
        const std::string again = HeaderLine(once.header) + EventLine(once.events[0], {});
        Capture twice;
        ASSERT_TRUE(ParseCapture(again, "c.jsonl", twice, error)) << error;
        EXPECT_EQ(again, written) << text;
        EXPECT_EQ(twice.events[0].peer, once.events[0].peer) << text;
        EXPECT_EQ(twice.header.server, once.header.server) << text;
    }
    Capture read;
    std::string error;
    ASSERT_TRUE(ParseCapture(kHeader + R"({"t":0,"conn":1,"event":"connect","peer":"p\u00e9"})", "c.jsonl", read, error));
    EXPECT_EQ(read.events[0].peer, "p\xc3\xa9");
    EXPECT_THAT(EventLine(read.events[0], {}), HasSubstr("\"peer\":\"p\xc3\xa9\""));
}

struct BadCapture {
    const char* name;
    std::string text;
    const char* message;
};

class CaptureReaderBadInputTest : public ::testing::TestWithParam<BadCapture> {};

TEST_P(CaptureReaderBadInputTest, IsRefusedWithItsLine)
{
    Capture capture;
    std::string error;
    EXPECT_FALSE(ParseCapture(GetParam().text, "c.jsonl", capture, error));
    EXPECT_EQ(error, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CaptureReaderBadInputTest,
    ::testing::Values(
        BadCapture{"Empty", "", "c.jsonl:1: empty: not a Mimicbox capture"},
        BadCapture{"NotJson", "hello\n", "c.jsonl:1: not JSON: a capture has one JSON object a line"},
        BadCapture{"ForeignJson", "{\"a\":1}\n",
                   "c.jsonl:1: not a Mimicbox capture: the first line must be {\"capture\": \"mimicbox\", \"version\": 1, ...}"},
        BadCapture{"UnknownVersion", R"({"capture":"mimicbox","version":2})",
                   "c.jsonl:1: unknown capture version 2 (this reads version 1)"},
        BadCapture{"BackwardsTime",
                   kHeader + R"({"t":2,"conn":1,"event":"connect"})" "\n" R"({"t":1.5,"conn":1,"event":"close"})",
                   "c.jsonl:3: time runs backwards: 1.5 s after 2.000000 s"},
        BadCapture{"UnknownEvent", kHeader + R"({"t":0,"conn":1,"event":"explode"})",
                   "c.jsonl:2: unknown event \"explode\""},
        BadCapture{"NoSide", kHeader + R"({"t":0,"conn":1,"event":"data","bytes":"x"})",
                   "c.jsonl:2: \"from\" must be \"device\" or \"server\""},
        BadCapture{"WideCodePoint", kHeader + R"({"t":0,"conn":1,"event":"data","from":"device","bytes":"\u0100"})",
                   "c.jsonl:2: \"bytes\" must be a string of code points up to U+00FF, one for each byte"},
        BadCapture{"FractionalConnection", kHeader + R"({"t":0,"conn":1.5,"event":"connect"})",
                   "c.jsonl:2: an event needs \"conn\", the connection's number"},
        BadCapture{"NegativeConnection", kHeader + R"({"t":0,"conn":-1,"event":"connect"})",
                   "c.jsonl:2: an event needs \"conn\", the connection's number"},
        BadCapture{"NoTime", kHeader + R"({"conn":1,"event":"connect"})", "c.jsonl:2: an event needs \"t\", seconds from the start, at most 1e9"},
        BadCapture{"ArrayLine", kHeader + "[1,2]\n", "c.jsonl:2: an event needs \"t\", seconds from the start, at most 1e9"},
        BadCapture{"EndlessTime", kHeader + R"({"t":1e300,"conn":1,"event":"connect"})",
                   "c.jsonl:2: an event needs \"t\", seconds from the start, at most 1e9"}),
    [](const ::testing::TestParamInfo<BadCapture>& row) { return row.param.name; });
