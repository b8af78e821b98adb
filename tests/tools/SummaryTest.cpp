// The summary's count of each [[fault]] table, and why a table never fired, as text and JSON.
#include "tools/sim/Summary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tools/report/SummaryJson.h"
#include "tools/report/SummaryText.h"

using namespace mimicbox;
using namespace mimicbox::sim;
using ::testing::HasSubstr;

namespace {

FaultRule Rule(FaultKind kind, std::vector<DeviceRange> devices, FaultTrigger trigger)
{
    FaultRule rule;
    rule.fault.kind = kind;
    rule.fault.trigger = trigger;
    rule.devices = std::move(devices);
    return rule;
}

Event Of(EventKind kind, std::size_t device, const DeviceIdentity& identity)
{
    Event event{};
    event.kind = kind;
    event.device = device;
    event.identity = identity;
    return event;
}

}  // namespace

TEST(SummaryTest, EachFaultTableIsCountedOrSaysWhyItNeverFired)
{
    const DeviceIdentity relay{TYPE_RELAY, 1003};
    const DeviceIdentity thermo{TYPE_THERMO, 4};
    FaultTrigger every3;
    every3.every = 3;
    FaultTrigger late;
    late.at = 1.2;
    FaultTrigger rare;
    rare.probability = 0.01;
    Summary summary({relay, thermo}, {Rule(FaultKind::kSplit, {{TYPE_RELAY, 1003, 1003}}, every3),
                                      Rule(FaultKind::kDoubleNul, {{TYPE_RELAY, 1003, 1003}}, late),
                                      Rule(FaultKind::kOutOfRange, {}, rare),
                                      Rule(FaultKind::kGarbage, {{TYPE_THERMO, 90, 99}}, late),
                                      Rule(FaultKind::kDuplicate, {{TYPE_RELAY, 1003, 1003}}, every3)});
    summary.OnEvent(Of(EventKind::kConnected, 0, relay));
    for (int i = 0; i < 3; ++i) {
        Event sent = Of(EventKind::kSent, 0, relay);
        sent.fault = "split";
        sent.faultTable = 1;
        summary.OnEvent(sent);
    }
    Event duplicate = Of(EventKind::kSent, 0, relay);
    duplicate.fault = "duplicate";
    duplicate.faultTable = 5;
    summary.OnEvent(duplicate);

    const std::vector<FaultTally> tallies = summary.FaultTables();
    ASSERT_EQ(tallies.size(), 5u);
    EXPECT_EQ(report::FaultTableLine(tallies[0]), "fault[1] split on relay:1003, every 3 reports: fired 3 times");
    EXPECT_EQ(report::FaultTableLine(tallies[1]),
              "fault[2] double-nul on relay:1003, at 1.2 s: never fired: the run ended first");
    // Out-of-range applies to the Thermo-Box only, which never connected.
    EXPECT_EQ(report::FaultTableLine(tallies[2]),
              "fault[3] out-of-range on all devices, probability 0.01: never fired: its devices never connected");
    EXPECT_THAT(report::FaultTableLine(tallies[3]), HasSubstr("thermo:90-99, at 1.2 s: never fired: none of its devices"));
    EXPECT_THAT(report::FaultTableLine(tallies[4]), HasSubstr("fired 1 time"));
    EXPECT_EQ(summary.Faults(), 4u);
    EXPECT_THAT(report::RunSummaryLine(summary), HasSubstr("2 devices: 4 reports"));
    EXPECT_THAT(report::RunSummaryLine(summary), HasSubstr(", 4 faults"));

    const std::vector<VerdictResult> verdicts = {{"relay:1003", "toggles at least 1", false, "0 received", true}};
    const nlohmann::json json = nlohmann::json::parse(report::SummaryJson(summary, verdicts));
    EXPECT_EQ(json["expectations"][0],
              nlohmann::json::parse(R"({"device": "relay:1003", "expectation": "toggles at least 1", "passed": false,
                                        "detail": "0 received"})"));
    ASSERT_EQ(json["fault_tables"].size(), 5u);
    EXPECT_EQ(json["fault_tables"][0]["fired"], 3);
    EXPECT_FALSE(json["fault_tables"][0].contains("never_fired"));
    EXPECT_EQ(json["fault_tables"][1]["never_fired"], "the run ended first");
    EXPECT_EQ(json["fault_tables"][1]["trigger"], "at 1.2 s");
    EXPECT_EQ(json["run"]["faults"], 4);
}

TEST(SummaryTest, OneDeviceAndOneFaultAreSingular)
{
    const DeviceIdentity relay{TYPE_RELAY, 1001};
    Summary summary({relay});
    Event sent = Of(EventKind::kSent, 0, relay);
    sent.fault = "garbage";
    summary.OnEvent(sent);
    EXPECT_THAT(report::RunSummaryLine(summary), HasSubstr("1 device: 1 report,"));
    EXPECT_THAT(report::RunSummaryLine(summary), HasSubstr(", 1 fault"));
}
