// The scheduler's wheel of deadlines: what falls due is called once, in order, however far ahead it
// was set or however long the loop slept, and timers that are restarted, cancelled or removed (even
// from inside a call) call nothing stale.
#include "tools/io/TimerWheel.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace mimicbox;
using namespace std::chrono_literals;

namespace {

const sim::Instant kStart = sim::Instant{} + 1h;

class TimerWheelTest : public testing::Test {
protected:
    io::TimerWheel::Slot Named(const std::string& name)
    {
        return wheel_.Add([this, name] { calls_ += name; });
    }

    io::TimerWheel wheel_{kStart};
    std::string calls_;
};

}  // namespace

TEST_F(TimerWheelTest, CallsWhatIsDueByDeadlineThenInTheOrderStarted)
{
    const auto a = Named("a");
    const auto b = Named("b");
    const auto c = Named("c");
    const auto d = Named("d");
    wheel_.Start(c, kStart + 2ms);
    wheel_.Start(b, kStart + 1ms);
    wheel_.Start(d, kStart + 1ms);
    wheel_.Start(a, kStart + 5ms);
    EXPECT_EQ(wheel_.Next(), kStart + 1ms);
    wheel_.RunDue(kStart + 2ms);
    EXPECT_EQ(calls_, "bdc");
    wheel_.RunDue(kStart + 4ms);
    EXPECT_EQ(calls_, "bdc");
    wheel_.RunDue(kStart + 5ms);
    EXPECT_EQ(calls_, "bdca");
    EXPECT_EQ(wheel_.Next(), std::nullopt) << "a timer calls once per start";
}

TEST_F(TimerWheelTest, ARestartReplacesTheDeadlineAndACancelledTimerCallsNothing)
{
    const auto a = Named("a");
    const auto b = Named("b");
    wheel_.Start(a, kStart + 1ms);
    wheel_.Start(a, kStart + 3ms);
    wheel_.Start(b, kStart + 2ms);
    wheel_.Cancel(b);
    EXPECT_EQ(wheel_.Next(), kStart + 3ms) << "stale entries are not waited for";
    wheel_.RunDue(kStart + 10ms);
    EXPECT_EQ(calls_, "a");
}

TEST_F(TimerWheelTest, TimersStartedByACallWaitForTheNextRun)
{
    io::TimerWheel::Slot again = 0;
    int calls = 0;
    again = wheel_.Add([&] {
        ++calls;
        wheel_.Start(again, kStart);  // due at once, again and again
    });
    wheel_.Start(again, kStart);
    wheel_.RunDue(kStart + 1ms);
    EXPECT_EQ(calls, 1);
    wheel_.RunDue(kStart + 1ms);
    EXPECT_EQ(calls, 2);
}

TEST_F(TimerWheelTest, ATimerRemovedFromInsideACallIsNeitherCalledNorReusedMeanwhile)
{
    // A session that ends in its own timer's call takes its other timers with it.
    auto owned = std::make_shared<std::string>("kept alive");
    io::TimerWheel::Slot self = 0;
    const auto other = Named("other");
    self = wheel_.Add([this, owned, &self, other] {
        wheel_.Remove(other);
        wheel_.Remove(self);
        const auto fresh = wheel_.Add([this] { calls_ += "fresh"; });
        EXPECT_NE(fresh, self);
        EXPECT_NE(fresh, other);
        calls_ += *owned;  // the callback's captures are still whole after its own removal
    });
    owned.reset();
    wheel_.Start(self, kStart + 1ms);
    wheel_.Start(other, kStart + 1ms);
    wheel_.RunDue(kStart + 1ms);
    EXPECT_EQ(calls_, "kept alive");
    EXPECT_EQ(wheel_.Next(), std::nullopt);
}

TEST_F(TimerWheelTest, DeadlinesBeyondTheWheelAndLongSleepsLoseNothing)
{
    const auto soon = Named("s");
    const auto far = Named("f");
    const auto farther = Named("F");
    wheel_.Start(farther, kStart + 30s);
    wheel_.Start(far, kStart + 5s + 500us);
    wheel_.Start(soon, kStart + 2ms);
    EXPECT_EQ(wheel_.Next(), kStart + 2ms);
    wheel_.RunDue(kStart + 3ms);
    EXPECT_EQ(wheel_.Next(), kStart + 5s + 500us);
    wheel_.RunDue(kStart + 5s);
    EXPECT_EQ(calls_, "s") << "the far one is due half a millisecond later";
    wheel_.RunDue(kStart + 5s + 500us);
    EXPECT_EQ(calls_, "sf");
    // The loop slept for a minute: what fell due meanwhile is called at once, by deadline.
    wheel_.Start(soon, kStart + 10s);
    wheel_.RunDue(kStart + 90s);
    EXPECT_EQ(calls_, "sfsF");
    // A deadline already passed is due at the next run.
    wheel_.Start(soon, kStart + 1s);
    EXPECT_EQ(wheel_.Next(), kStart + 1s);
    wheel_.RunDue(kStart + 90s);
    EXPECT_EQ(calls_, "sfsFs");
}
