#include "tools/sim/Verdict.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tools/report/JUnit.h"
#include "tools/sim/ReceivedRecords.h"
#include "tools/testing/RecordingSink.h"

using namespace mimicbox;
using namespace mimicbox::sim;
using namespace std::chrono_literals;
using ::testing::HasSubstr;

namespace {

const Instant kStart{std::chrono::hours(1)};
const std::string kToggle = "TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;";

Event At(EventKind kind, std::size_t device, Nanos after)
{
    Event event{};
    event.kind = kind;
    event.device = device;
    event.identity = device == 0 ? DeviceIdentity{TYPE_RELAY, 1005} : DeviceIdentity{TYPE_THERMO, 1};
    event.time = kStart + after;
    return event;
}

Event Received(std::size_t device, std::string_view record, bool read)
{
    Event event = At(EventKind::kReceived, device, 1s);
    event.record = record;
    event.read = read;
    return event;
}

}  // namespace

TEST(VerdictTest, EachExpectationIsJudgedPerDevice)
{
    Expectation all;
    all.noUnreadableCommands = true;
    Expectation relay;
    relay.devices = {{TYPE_RELAY, 1005, 1005}};
    relay.connection = ConnectionExpectation::kKept;
    relay.minToggles = 1;
    relay.maxToggles = 2;
    Expectation thermo;
    thermo.devices = {{TYPE_THERMO, 1, 1}};
    thermo.connection = ConnectionExpectation::kClosed;
    thermo.within = 2.0;
    Verdict verdict({{TYPE_RELAY, 1005}, {TYPE_THERMO, 1}}, {all, relay, thermo});
    verdict.OnEvent(At(EventKind::kConnected, 0, 0s));
    verdict.OnEvent(Received(0, kToggle, true));
    verdict.OnEvent(Received(0, kToggle, true));
    verdict.OnEvent(Received(0, "garbage", false));
    Event faulted = At(EventKind::kSent, 1, 3s);
    faulted.fault = "stop-reading";
    verdict.OnEvent(faulted);
    verdict.OnEvent(At(EventKind::kLost, 1, 4500ms));

    const std::vector<VerdictResult> results = verdict.Results();
    ASSERT_EQ(results.size(), 5u);
    EXPECT_EQ(results[0].name, "no unreadable commands");
    EXPECT_FALSE(results[0].passed);
    EXPECT_EQ(results[0].detail, "1 unreadable");
    EXPECT_EQ(results[1].name, "connection kept");
    EXPECT_TRUE(results[1].passed);
    EXPECT_EQ(results[2].name, "toggles at least 1 and at most 2");
    EXPECT_TRUE(results[2].passed);
    EXPECT_EQ(results[3].device, "thermo:1");
    EXPECT_TRUE(results[3].passed);
    EXPECT_EQ(results[4].name, "connection closed within 2 s of a fault");
    EXPECT_TRUE(results[4].passed);
    EXPECT_EQ(results[4].detail, "closed 1.5 s after the fault");
    EXPECT_TRUE(verdict.CoversConnection(1));
}

TEST(VerdictTest, AGoodRecordDroppedAfterAnUnreadableOneIsNotCountedAsUnreadable)
{
    // The device drops the rest of a chunk after a record that does not read, as the dialog does;
    // the server's good toggle behind it is logged and counted as dropped, not as its own fault.
    const std::string chunk = "garbage" + std::string(1, '\0') + kToggle + '\0' + "more garbage";
    mimicbox::testing::RecordingSink events;
    TellReceived(chunk, 0, true, [] { return At(EventKind::kReceived, 0, 1s); }, events);
    ASSERT_EQ(events.events.size(), 3u);
    EXPECT_FALSE(events.events[0].event.dropped);
    EXPECT_TRUE(events.events[1].event.dropped);
    EXPECT_FALSE(events.events[1].event.toggled);
    EXPECT_FALSE(events.events[2].event.dropped);

    Expectation all;
    all.noUnreadableCommands = true;
    Verdict verdict({{TYPE_RELAY, 1005}}, {all});
    for (const auto& recorded : events.events)
        verdict.OnEvent(recorded.event);
    const std::vector<VerdictResult> results = verdict.Results();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].detail, "2 unreadable, 1 dropped after one");
}

TEST(VerdictTest, ClosingsOutsideTheirWindowOrWithoutAFaultFail)
{
    Expectation closed;
    closed.connection = ConnectionExpectation::kClosed;
    closed.within = 1.0;
    Expectation kept;
    kept.connection = ConnectionExpectation::kKept;
    Verdict verdict({{TYPE_RELAY, 1005}, {TYPE_THERMO, 1}}, {closed, kept});
    Event faulted = At(EventKind::kSent, 0, 1s);
    faulted.fault = "garbage";
    verdict.OnEvent(faulted);
    verdict.OnEvent(At(EventKind::kLost, 0, 5s));
    const std::vector<VerdictResult> results = verdict.Results();
    ASSERT_EQ(results.size(), 4u);
    EXPECT_FALSE(results[0].passed);
    EXPECT_EQ(results[0].detail, "closed 4 s after the fault");
    EXPECT_FALSE(results[1].passed);
    EXPECT_EQ(results[1].detail, "the server closed it");
    EXPECT_FALSE(results[2].passed);
    EXPECT_EQ(results[2].detail, "no fault was applied");
    EXPECT_FALSE(results[3].passed);
    EXPECT_EQ(results[3].detail, "never connected");
    verdict.OnEvent(At(EventKind::kConnected, 1, 0s));
    EXPECT_TRUE(verdict.Results()[3].passed);
}

TEST(VerdictTest, JUnitHasACasePerResultAndEscapesWhatItQuotes)
{
    const std::vector<VerdictResult> results = {
        {"relay:1005", "connection kept", true, "kept"},
        {"thermo:1", "toggles at most 1", false, "5 received <&> \"x\"\x01"},
    };
    const std::string xml = report::JUnitXml(results, "mimicbox-cli", 2.5);
    EXPECT_THAT(xml, HasSubstr("<testsuites tests=\"2\" failures=\"1\" time=\"2.500\">"));
    EXPECT_THAT(xml, HasSubstr("<testsuite name=\"mimicbox-cli\" tests=\"2\" failures=\"1\" errors=\"0\" skipped=\"0\" time=\"2.500\">"));
    EXPECT_THAT(xml, HasSubstr("<testcase classname=\"relay:1005\" name=\"connection kept\"/>"));
    EXPECT_THAT(xml, HasSubstr("<failure message=\"5 received &lt;&amp;&gt; &quot;x&quot;\"/>"));
    EXPECT_EQ(report::VerdictLines(results, true),
              "expect relay:1005 connection kept: passed (kept)\n"
              "expect thermo:1 toggles at most 1: FAILED (5 received <&> \"x\"\x01)\n"
              "expectations: 1 held, 1 failed\n");
    // Passes only when asked for: a thousand that held are the tally's line.
    EXPECT_EQ(report::VerdictLines(results), "expect thermo:1 toggles at most 1: FAILED (5 received <&> \"x\"\x01)\n"
                                             "expectations: 1 held, 1 failed\n");
}

TEST(VerdictTest, ToggleBoundsHoldAtTheirEdges)
{
    // Expected 2 to 3 toggles; received 1 to 4 in turn.
    for (uint64_t received = 1; received <= 4; ++received) {
        Expectation bounded;
        bounded.minToggles = 2;
        bounded.maxToggles = 3;
        Verdict verdict({{TYPE_RELAY, 1005}}, {bounded});
        verdict.OnEvent(At(EventKind::kConnected, 0, 0s));
        for (uint64_t i = 0; i < received; ++i)
            verdict.OnEvent(Received(0, kToggle, true));
        const std::vector<VerdictResult> results = verdict.Results();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].passed, received >= 2 && received <= 3) << received;
    }
}
