#include "tools/report/JsonLinesSink.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tools/report/SummaryJson.h"

using namespace mimicbox;
using namespace mimicbox::sim;
using namespace std::chrono_literals;

namespace {

const Instant kStart{std::chrono::hours(1)};

Event At(EventKind kind, Nanos after)
{
    Event event{};
    event.kind = kind;
    event.identity = {TYPE_RELAY, 1005};
    event.time = kStart + after;
    event.calendarMillis = 1765000000123;
    return event;
}

}  // namespace

TEST(JsonLinesSinkTest, ReportsCarryTheirDeadlineAndLateness)
{
    report::JsonLinesSink sink(nullptr, kStart);
    Event sent = At(EventKind::kSent, 1500250us);
    sent.record = "TolvarkControl: 8, 1005, 4, 0, 0, 1, 10;1765000000, 1, 0;";
    sent.scheduled = kStart + 1500ms;
    sent.lateness = 250us;
    EXPECT_EQ(sink.Line(sent), R"({"t":1.50025,"time":"2025-12-06T05:46:40.123Z","device":"relay:1005","event":"sent",)"
                               R"("record":"TolvarkControl: 8, 1005, 4, 0, 0, 1, 10;1765000000, 1, 0;","scheduled":1.5,)"
                               R"("lateness":0.00025})");
}

TEST(JsonLinesSinkTest, AnyBytesFromTheServerSurviveAsCodePoints)
{
    report::JsonLinesSink sink(nullptr, kStart);
    Event received = At(EventKind::kReceived, 2s);
    const std::string bytes = std::string("A\x01\"\\\xff\xc3", 6);
    received.record = bytes;
    received.read = false;
    const std::string line = sink.Line(received);
    EXPECT_NE(line.find(R"("record":"A\u0001\"\\\u00ff\u00c3")"), std::string::npos) << line;
    // Read back, each code point is one byte again.
    const nlohmann::json object = nlohmann::json::parse(line);
    std::u32string points;
    const std::string text = object["record"];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        points.push_back(byte < 0x80 ? byte : static_cast<char32_t>(((byte & 0x1F) << 6) | (text[++i] & 0x3F)));
    }
    ASSERT_EQ(points.size(), bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        EXPECT_EQ(points[i], static_cast<unsigned char>(bytes[i])) << i;
    EXPECT_EQ(object["event"], "received");
    EXPECT_EQ(object["read"], false);
}

TEST(JsonLinesSinkTest, ConnectionEndsGiveTheirReason)
{
    report::JsonLinesSink sink(nullptr, kStart);
    Event lost = At(EventKind::kLost, 3s);
    lost.reason = "connection closed by the server";
    const nlohmann::json object = nlohmann::json::parse(sink.Line(lost));
    EXPECT_EQ(object["event"], "closed");
    EXPECT_EQ(object["reason"], "connection closed by the server");
    EXPECT_EQ(nlohmann::json::parse(sink.Line(At(EventKind::kStopped, 4s)))["reason"], "stopped");
}

TEST(JsonLinesSinkTest, SummaryHoldsEveryDeviceAndTheRun)
{
    Summary summary({{TYPE_THERMO, 1}, {TYPE_RELAY, 1005}});
    Event sent = At(EventKind::kSent, 500ms);
    sent.device = 1;
    sent.lateness = 2ms;
    summary.OnEvent(sent);
    const nlohmann::json document = nlohmann::json::parse(report::SummaryJson(summary));
    EXPECT_EQ(document["run"]["devices"], 2);
    EXPECT_EQ(document["run"]["reports"], 1);
    ASSERT_EQ(document["devices"].size(), 2u);
    EXPECT_EQ(document["devices"][1]["device"], "relay:1005");
    EXPECT_EQ(document["devices"][1]["reports"], 1);
    EXPECT_EQ(document["devices"][1]["lateness"]["max_ms"], 2.0);
    EXPECT_EQ(document["devices"][0]["reports"], 0);
}
