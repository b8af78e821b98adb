// The scheduler's heap of deadlines: what falls due is called once, in order, and timers that are
// restarted, cancelled or removed (even from inside a call) call nothing stale.
#include "tools/io/TimerHeap.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace mimicbox;
using namespace std::chrono_literals;

namespace {

const sim::Instant kStart{};

class TimerHeapTest : public testing::Test {
protected:
    io::TimerHeap::Slot Named(const std::string& name)
    {
        return heap_.Add([this, name] { calls_ += name; });
    }

    io::TimerHeap heap_;
    std::string calls_;
};

}  // namespace

TEST_F(TimerHeapTest, CallsWhatIsDueByDeadlineThenInTheOrderStarted)
{
    const auto a = Named("a");
    const auto b = Named("b");
    const auto c = Named("c");
    const auto d = Named("d");
    heap_.Start(c, kStart + 2ms);
    heap_.Start(b, kStart + 1ms);
    heap_.Start(d, kStart + 1ms);
    heap_.Start(a, kStart + 5ms);
    EXPECT_EQ(heap_.Next(), kStart + 1ms);
    heap_.RunDue(kStart + 2ms);
    EXPECT_EQ(calls_, "bdc");
    heap_.RunDue(kStart + 4ms);
    EXPECT_EQ(calls_, "bdc");
    heap_.RunDue(kStart + 5ms);
    EXPECT_EQ(calls_, "bdca");
    EXPECT_EQ(heap_.Next(), std::nullopt) << "a timer calls once per start";
}

TEST_F(TimerHeapTest, ARestartReplacesTheDeadlineAndACancelledTimerCallsNothing)
{
    const auto a = Named("a");
    const auto b = Named("b");
    heap_.Start(a, kStart + 1ms);
    heap_.Start(a, kStart + 3ms);
    heap_.Start(b, kStart + 2ms);
    heap_.Cancel(b);
    EXPECT_EQ(heap_.Next(), kStart + 3ms) << "stale entries are not waited for";
    heap_.RunDue(kStart + 10ms);
    EXPECT_EQ(calls_, "a");
}

TEST_F(TimerHeapTest, TimersStartedByACallWaitForTheNextRun)
{
    io::TimerHeap::Slot again = 0;
    int calls = 0;
    again = heap_.Add([&] {
        ++calls;
        heap_.Start(again, kStart);  // due at once, again and again
    });
    heap_.Start(again, kStart);
    heap_.RunDue(kStart + 1ms);
    EXPECT_EQ(calls, 1);
    heap_.RunDue(kStart + 1ms);
    EXPECT_EQ(calls, 2);
}

TEST_F(TimerHeapTest, ATimerRemovedFromInsideACallIsNeitherCalledNorReusedMeanwhile)
{
    // A session that ends in its own timer's call takes its other timers with it.
    auto owned = std::make_shared<std::string>("kept alive");
    io::TimerHeap::Slot self = 0;
    const auto other = Named("other");
    self = heap_.Add([this, owned, &self, other] {
        heap_.Remove(other);
        heap_.Remove(self);
        const auto fresh = heap_.Add([this] { calls_ += "fresh"; });
        EXPECT_NE(fresh, self);
        EXPECT_NE(fresh, other);
        calls_ += *owned;  // the callback's captures are still whole after its own removal
    });
    owned.reset();
    heap_.Start(self, kStart + 1ms);
    heap_.Start(other, kStart + 1ms);
    heap_.RunDue(kStart + 1ms);
    EXPECT_EQ(calls_, "kept alive");
    EXPECT_EQ(heap_.Next(), std::nullopt);
}
