#include "tools/testing/ManualScheduler.h"

namespace mimicbox::testing {

class ManualScheduler::ManualTimer : public sim::Timer {
public:
    ManualTimer(ManualScheduler& owner, std::function<void()> onDue) : owner_(owner), onDue_(std::move(onDue)) {}
    ~ManualTimer() override { Cancel(); }

    void Start(sim::Instant due) override
    {
        Cancel();
        entry_ = owner_.queue_.emplace(std::make_pair(due, owner_.sequence_++), this);
        pending_ = true;
    }
    void Cancel() override
    {
        if (pending_)
            owner_.queue_.erase(entry_);
        pending_ = false;
    }
    void Fire()
    {
        pending_ = false;
        onDue_();
    }

private:
    ManualScheduler& owner_;
    std::function<void()> onDue_;
    Queue::iterator entry_;
    bool pending_ = false;
};

ManualScheduler::ManualScheduler() = default;

ManualScheduler::~ManualScheduler() = default;

void ManualScheduler::Advance(sim::Nanos duration)
{
    const sim::Instant until = now_ + duration;
    while (!queue_.empty() && queue_.begin()->first.first <= until) {
        auto it = queue_.begin();
        ManualTimer* timer = it->second;
        if (it->first.first > now_)
            now_ = it->first.first;
        queue_.erase(it);
        timer->Fire();
    }
    now_ = until;
}

std::unique_ptr<sim::Timer> ManualScheduler::CreateTimer(std::function<void()> onDue)
{
    return std::make_unique<ManualTimer>(*this, std::move(onDue));
}

int64_t ManualScheduler::CalendarMillis() const
{
    return calendarBase_ + std::chrono::duration_cast<std::chrono::milliseconds>(now_ - start_).count();
}

}  // namespace mimicbox::testing
