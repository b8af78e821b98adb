#include "tools/sim/RepeatTimer.h"

namespace mimicbox::sim {

RepeatTimer::RepeatTimer(Scheduler& scheduler, std::function<void()> onDue)
    : scheduler_(scheduler), onDue_(std::move(onDue)), timer_(scheduler.CreateTimer([this] { OnDue(); }))
{
}

void RepeatTimer::Start(Instant first, Nanos every)
{
    first_ = first;
    every_ = every;
    timer_->Start(first);
}

void RepeatTimer::OnDue()
{
    // The next deadline is set first, so that the callback may cancel it or start the timer anew.
    if (every_ > Nanos(0)) {
        const Nanos since = scheduler_.Now() - first_;
        timer_->Start(first_ + every_ * (since / every_ + 1));
    }
    onDue_();
}

}  // namespace mimicbox::sim
