#include "tools/io/AsioScheduler.h"

namespace mimicbox::io {

namespace {

class WheelTimer : public sim::Timer {
public:
    WheelTimer(AsioScheduler& scheduler, std::function<void()> onDue)
        : scheduler_(scheduler), slot_(scheduler.Wheel().Add(std::move(onDue)))
    {
    }
    ~WheelTimer() override { scheduler_.Wheel().Remove(slot_); }

    void Start(sim::Instant due) override { scheduler_.Started(slot_, due); }
    // The system timer may still wake for it once, and find nothing due.
    void Cancel() override { scheduler_.Wheel().Cancel(slot_); }

private:
    AsioScheduler& scheduler_;
    TimerWheel::Slot slot_;
};

}  // namespace

std::unique_ptr<sim::Timer> AsioScheduler::CreateTimer(std::function<void()> onDue)
{
    return std::make_unique<WheelTimer>(*this, std::move(onDue));
}

sim::Instant AsioScheduler::Now() const { return std::chrono::steady_clock::now(); }

int64_t AsioScheduler::CalendarMillis() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void AsioScheduler::Started(TimerWheel::Slot slot, sim::Instant due)
{
    wheel_.Start(slot, due);
    // Timers started by the calls of a wake-up are armed once, after them.
    if (!running_ && (!armedFor_ || due < *armedFor_))
        Arm();
}

void AsioScheduler::Arm()
{
    armedFor_ = wheel_.Next();
    if (!armedFor_)
        return;
    // Setting the deadline cancels a wait under way; its handler then sees operation_aborted.
    wake_.expires_at(*armedFor_);
    wake_.async_wait([this](const std::error_code& error) {
        if (!error)
            OnWake();
    });
}

void AsioScheduler::OnWake()
{
    armedFor_.reset();
    running_ = true;
    if (observer_)
        observer_->BeforeTimers();
    wheel_.RunDue(Now());
    if (observer_)
        observer_->AfterTimers();
    running_ = false;
    Arm();
}

}  // namespace mimicbox::io
