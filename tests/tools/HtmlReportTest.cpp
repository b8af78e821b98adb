#include "tools/report/HtmlReport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tools/report/DeviceColumns.h"
#include "tools/report/JsonLinesSink.h"
#include "tools/report/LoggedEvent.h"

using namespace mimicbox;
using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

const sim::Instant kStart{std::chrono::hours(1)};

sim::Event Logged(sim::EventKind kind, std::string_view record = {}, std::string_view reason = {})
{
    sim::Event event{};
    event.kind = kind;
    event.identity = {TYPE_THERMO, 7};
    event.time = kStart + 2500ms;
    event.calendarMillis = 1765000000123;
    event.record = record;
    event.reason = reason;
    return event;
}

}  // namespace

TEST(LoggedEventTest, EveryKindOfLineReadsBackAsTheEventItWas)
{
    const report::JsonLinesSink sink(nullptr, kStart);
    sim::Event sent = Logged(sim::EventKind::kSent, std::string_view("\x01\xff" "TolvarkData\0", 14));
    sent.fault = "garbage";
    sent.lateness = 1250us;
    sim::Event received = Logged(sim::EventKind::kReceived, "?");
    received.read = false;
    sim::Event action = Logged(sim::EventKind::kAction);
    action.action = "set-temperature";
    const sim::Event rows[] = {
        sent, received, action,
        Logged(sim::EventKind::kLost, {}, "Connection reset by peer"),
        Logged(sim::EventKind::kClosed, {}, "reset"),
        Logged(sim::EventKind::kStopped),
        Logged(sim::EventKind::kConnected),
    };
    for (const sim::Event& event : rows) {
        const std::string line = sink.Line(event);
        report::LoggedEvent logged;
        std::string error;
        ASSERT_TRUE(report::ParseLoggedEvent(line, logged, error)) << line << ": " << error;
        EXPECT_EQ(logged.event.kind, event.kind) << line;
        EXPECT_EQ(logged.record, std::string(event.record)) << line;
        EXPECT_EQ(logged.event.calendarMillis, event.calendarMillis);
        EXPECT_DOUBLE_EQ(logged.t, 2.5);
        EXPECT_EQ(logged.event.lateness, event.lateness);
        EXPECT_EQ(logged.event.read, event.read);
        EXPECT_EQ(std::string(logged.event.fault ? logged.event.fault : ""), std::string(event.fault ? event.fault : ""));
        EXPECT_EQ(std::string(logged.event.action ? logged.event.action : ""), std::string(event.action ? event.action : ""));
    }
}

TEST(LoggedEventTest, LinesThatAreNoEventAreSkippedAndBrokenEventsRefusedWithAReason)
{
    using report::LogLine;
    const std::string event = R"("time":"2025-12-06T05:46:40.123Z","device":"thermo:1","event":"sent")";
    const struct {
        std::string line;
        LogLine kind;
    } rows[] = {
        {"", LogLine::kOther},
        {"[1]", LogLine::kOther},
        {"{\"t\": 1}", LogLine::kOther},
        {"not json", LogLine::kOther},
        {R"({"t":1,"time":"2025-12-06T05:46:40.123Z","device":"thermo:0","event":"sent"})", LogLine::kBroken},
        {R"({"t":1,"time":"yesterday","device":"thermo:1","event":"sent"})", LogLine::kBroken},
        {R"({"t":1,"time":"1012-12-06T05:46:40.123Z","device":"thermo:1","event":"sent"})", LogLine::kBroken},
        {R"({"t":1,"time":"2025-02-31T05:46:40.123Z","device":"thermo:1","event":"sent"})", LogLine::kBroken},
        {R"({"t":1,"time":"2025-12-06T05:46:40.123Z","device":"thermo:1","event":"exploded"})", LogLine::kBroken},
        {"{\"t\":1," + event + ",\"lateness\":\"late\"}", LogLine::kBroken},
        {"{\"t\":1," + event + ",\"lateness\":1e300}", LogLine::kBroken},
        {"{\"t\":1," + event + R"(,"record":"\u0100"})", LogLine::kBroken},
        {"{\"t\":1," + event + R"(,"fault":"fire"})", LogLine::kBroken},
        {"{\"t\":1e308," + event + "}", LogLine::kBroken},
        {"{\"t\":-5," + event + "}", LogLine::kBroken},
        {"{\"t\":1e9," + event + "}", LogLine::kEvent},
        {R"({"t":1,"time":"2025-12-06T05:46:40.123Z","device":"thermo:1","event":"event"})", LogLine::kBroken},
        {R"({"t":0,"time":"2025-12-06T05:46:40.123Z","event":"run","run":"ab","plant":"cd","shard":"1/2"})", LogLine::kRun},
        {R"({"t":0,"time":"2025-12-06T05:46:40.123Z","event":"run","run":"ab","plant":"cd","shard":"2/2"})", LogLine::kBroken},
        {R"({"t":0,"time":"2025-12-06T05:46:40.123Z","event":"run","run":"a b","plant":"cd","shard":"0/1"})", LogLine::kBroken},
    };
    for (const auto& row : rows) {
        report::LoggedEvent logged;
        report::RunIdentity run;
        int64_t start = 0;
        std::string error;
        EXPECT_EQ(report::ReadLogLine(row.line, logged, run, start, error), row.kind) << row.line << ": " << error;
        EXPECT_EQ(error.empty(), row.kind == LogLine::kEvent || row.kind == LogLine::kRun) << row.line;
    }
}

TEST(EventTallyTest, TheMostFrequentKindsComeFirstAndTheRestAreCountedNotKept)
{
    report::EventTally tally(2);
    for (int i = 0; i < 3; ++i)
        tally.OnEvent(Logged(sim::EventKind::kLost, {}, "Connection reset by peer"));
    tally.OnEvent(Logged(sim::EventKind::kConnected));
    tally.OnEvent(Logged(sim::EventKind::kSent, "x"));
    tally.OnEvent(Logged(sim::EventKind::kConnectFailed, {}, "Connection refused"));
    tally.OnEvent(Logged(sim::EventKind::kConnectFailed, {}, "Connection refused"));
    const auto kinds = tally.Kinds();
    ASSERT_EQ(kinds.size(), 2u);
    EXPECT_EQ(kinds[0], std::make_pair(std::string("closed: Connection reset by peer"), uint64_t{3}));
    EXPECT_EQ(kinds[1], std::make_pair(std::string("connected"), uint64_t{1}));
    EXPECT_EQ(tally.Untold(), 2u);
}

TEST(HtmlReportTest, TheRunsTextCannotEndItsScriptAndTheDataReadsBack)
{
    const std::vector<DeviceIdentity> devices = {{TYPE_THERMO, 7}};
    sim::Summary summary(devices);
    report::History history(kStart);
    report::EventTally tally;
    const std::vector<sim::VerdictResult> verdicts = {{"thermo:7", "connection kept", true, "kept", true},
                                                      {"thermo:7", "toggles at least 1", false, "0 received", true}};
    report::ReportFacts facts;
    facts.commandLine = "mimicbox-cli --scenario </script><script>alert(1)</script>";
    facts.scenario = "# <!-- </script>";
    facts.startMillis = 1765000000000;
    facts.endMillis = 1765000002500;
    const std::string page = report::HtmlReport(facts, {history, summary, verdicts, tally});

    EXPECT_THAT(page, Not(HasSubstr("<script>alert(1)")));
    // Everything is inside: no script, style or font is fetched.
    EXPECT_THAT(page, Not(HasSubstr("<script src")));
    EXPECT_THAT(page, Not(HasSubstr("<link")));
    EXPECT_THAT(page, Not(HasSubstr("<!--")));
    const std::string open = "<script type=\"application/json\" id=\"data\">";
    const std::size_t from = page.find(open) + open.size();
    const std::size_t to = page.find("</script>", from);
    const nlohmann::json data = nlohmann::json::parse(page.substr(from, to - from));
    EXPECT_EQ(data["command_line"], facts.commandLine);
    EXPECT_EQ(data["scenario"], facts.scenario);
    EXPECT_EQ(data["duration"], 2.5);
    // One row per expectation, failures first, naming the failing devices.
    EXPECT_EQ(data["verdicts"][0]["expectation"], "toggles at least 1");
    EXPECT_EQ(data["verdicts"][0]["failed"], 1);
    EXPECT_EQ(data["verdicts"][0]["failures"][0]["device"], "thermo:7");
    EXPECT_EQ(data["verdicts"][1]["held"], 1);
    EXPECT_EQ(data["device_count"], 1);
    EXPECT_THAT(page, ::testing::ContainsRegex("<script type=\"application/octet-stream\" id=\"devices\">[A-Za-z0-9+/=]+</script>"));
}

TEST(HtmlReportTest, TheDeviceTableHasEveryColumnFilled)
{
    const std::vector<DeviceIdentity> devices = {{TYPE_THERMO, 7}, {TYPE_RELAY, 1001}};
    sim::Summary summary(devices);
    report::History history(kStart);
    report::EventTally tally;
    sim::Event connected = Logged(sim::EventKind::kConnected);
    sim::Event sent = Logged(sim::EventKind::kSent, "TolvarkControl: 16, 7, 4, 0, 0, 1, 10;1765000002, 21.500000;");
    sent.value = 21.5f;
    for (sim::EventSink* sink : std::initializer_list<sim::EventSink*>{&summary, &history}) {
        sink->OnEvent(connected);
        sink->OnEvent(sent);
    }
    const std::vector<sim::VerdictResult> verdicts;
    const report::RunRecord run{history, summary, verdicts, tally, kStart + 4s, {sim::ProfileKind::kSine, sim::ProfileKind::kSteps}};
    const nlohmann::json columns = nlohmann::json::parse(report::DeviceColumns(run));
    EXPECT_EQ(columns["model"], nlohmann::json({"thermo", "relay"}));
    EXPECT_EQ(columns["serial"], nlohmann::json({7, 1001}));
    EXPECT_EQ(columns["state"], nlohmann::json({"ran", "never connected"}));
    EXPECT_EQ(columns["value"][0], 21.5);
    // A Relay-Box has no profile; a device that never reported no last report.
    EXPECT_EQ(columns["profile"], nlohmann::json({"sine", nullptr}));
    EXPECT_EQ(columns["last_report_age"], nlohmann::json({1.5, nullptr}));
    EXPECT_EQ(columns["reports_sent"], nlohmann::json({1, 0}));
}
