// A timer that falls due at `first` and then every `every` after it, on that grid: a late loop never
// shifts the later deadlines, and deadlines the loop missed whole are skipped, not run in a burst.
#pragma once

#include <functional>
#include <memory>

#include "tools/sim/Scheduler.h"

namespace mimicbox::sim {

class RepeatTimer {
public:
    // The scheduler must outlive the timer; `onDue` is called from its loop.
    RepeatTimer(Scheduler& scheduler, std::function<void()> onDue);

    // Due at `first`, then every `every` (once only when `every` is 0). Replaces what was pending.
    void Start(Instant first, Nanos every);
    void Cancel() { timer_->Cancel(); }

private:
    void OnDue();

    Scheduler& scheduler_;
    std::function<void()> onDue_;
    std::unique_ptr<Timer> timer_;
    Instant first_{};
    Nanos every_{0};
};

}  // namespace mimicbox::sim
