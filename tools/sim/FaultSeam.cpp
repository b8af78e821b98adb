#include "tools/sim/FaultSeam.h"

#include <utility>

namespace mimicbox::sim {

FaultSeam::FaultSeam(Scheduler& scheduler, std::vector<const Fault*> faults, uint64_t seed)
    : scheduler_(scheduler), faults_(std::move(faults)), fired_(faults_.size(), false), random_(seed),
      heldTimer_(scheduler.CreateTimer([this] { OnHeldDue(); }))
{
}

void FaultSeam::Attach(Connection* connection)
{
    connection_ = connection;
    heldTimer_->Cancel();
    held_.clear();
    holding_ = false;
}

FaultSeam::Sent FaultSeam::Send(const ReportDraft& draft, const std::string& record, uint64_t number, Nanos sinceStart)
{
    Sent sent;
    const Fault* fault = Firing(number, sinceStart);
    if (!fault) {
        Write(std::string_view(record.c_str(), record.size() + 1));
        return sent;
    }
    sent.fault = fault->kind;
    FaultedReport bytes = ApplyFault(*fault, draft, record, random_);
    sent.bytes = bytes.now + bytes.later;
    if (fault->kind == FaultKind::kStopReading && connection_)
        connection_->StopReading();
    if (holding_ || bytes.later.empty() || !connection_) {
        Write(bytes.now + bytes.later);
    } else {
        // What comes after the held half waits behind it, so the server still reads bytes in order.
        Write(bytes.now);
        holding_ = true;
        held_ = std::move(bytes.later);
        heldTimer_->Start(scheduler_.Now() + Seconds(fault->delay));
    }
    injected_.reset();
    return sent;
}

const Fault* FaultSeam::Firing(uint64_t number, Nanos sinceStart)
{
    // Every trigger is checked on every report, so that one fault's draws never shift another's; the
    // first that fires is applied, and a timed one that loses to another has still had its turn.
    const Fault* firing = injected_ ? &*injected_ : nullptr;
    for (std::size_t i = 0; i < faults_.size(); ++i) {
        const FaultTrigger& trigger = faults_[i]->trigger;
        bool fires = false;
        if (trigger.at) {
            fires = !fired_[i] && sinceStart >= Seconds(*trigger.at);
            fired_[i] = fired_[i] || fires;
        } else if (trigger.every > 0) {
            fires = number % trigger.every == 0;
        } else {
            fires = random_.Uniform() < trigger.probability;
        }
        if (fires && !firing)
            firing = faults_[i];
    }
    return firing;
}

void FaultSeam::Write(std::string_view bytes)
{
    if (holding_) {
        held_ += bytes;
        return;
    }
    if (connection_)
        connection_->Write(bytes);
}

void FaultSeam::OnHeldDue()
{
    holding_ = false;
    if (connection_)
        connection_->Write(std::exchange(held_, {}));
}

}  // namespace mimicbox::sim
