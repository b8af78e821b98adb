#include "tools/capture/CaptureLine.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tools/report/ByteText.h"

using namespace mimicbox::capture;

TEST(CaptureLineTest, EveryByteValueSurvivesAsJsonText)
{
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes += static_cast<char>(value);
    std::string text;
    AppendJsonString(text, bytes);
    const nlohmann::json parsed = nlohmann::json::parse(text);
    std::string back;
    ASSERT_TRUE(mimicbox::report::Utf8ToLatin1(parsed.get<std::string>(), back));
    EXPECT_EQ(back, bytes);
}

TEST(CaptureLineTest, DataLineIsOneJsonObjectWithItsFieldsInOrder)
{
    CaptureEvent event;
    event.t = 12.5000004;
    event.wall = 1796720552231;
    event.conn = 7;
    event.peer = "127.0.0.1:40334";
    event.from = Side::kDevice;
    const std::string report = "TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1765000000, 21.500000;";
    event.bytes = report + std::string("\0TolvarkCon", 11);
    const std::string line = EventLine(event, {report, "garbage"});
    ASSERT_EQ(line.back(), '\n');
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    const nlohmann::ordered_json json = nlohmann::ordered_json::parse(line);
    std::vector<std::string> keys;
    for (const auto& [key, value] : json.items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"t", "wall", "conn", "peer", "event", "from", "bytes", "records"}));
    EXPECT_EQ(line.substr(0, 12), R"({"t":12.5,"w)");
    EXPECT_EQ(json["wall"], 1796720552231);
    const auto& records = json["records"];
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]["model"], "thermo");
    EXPECT_EQ(records[0]["serial"], 3);
    EXPECT_EQ(records[0]["clock"], 1765000000);
    EXPECT_EQ(records[0]["temperature"], "21.500000");
    EXPECT_TRUE(records[1].contains("unreadable"));
}

TEST(CaptureLineTest, SecondsKeepMicrosecondsWithoutTrailingZeros)
{
    const std::pair<double, const char*> rows[] = {
        {0.0, "0.0"}, {3.0, "3.0"}, {0.000001, "0.000001"}, {1.2345678, "1.234568"}, {999999999.5, "999999999.5"},
    };
    for (const auto& [seconds, text] : rows) {
        CaptureEvent event;
        event.kind = CaptureKind::kConnect;
        event.t = seconds;
        const std::string line = EventLine(event, {});
        EXPECT_EQ(line.substr(5, line.find(',') - 5), text) << seconds;
    }
}
