#include "tools/sim/FaultSeam.h"

#include <utility>

namespace mimicbox::sim {

FaultSeam::FaultSeam(Scheduler& scheduler, std::vector<TableFault> faults, uint64_t seed)
    : scheduler_(scheduler), faults_(std::move(faults)), applied_(faults_.size(), false), random_(seed),
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
    const Firing firing = Choose(number, sinceStart);
    if (!firing.fault) {
        Write(std::string_view(record.c_str(), record.size() + 1));
        return sent;
    }
    const Fault& fault = *firing.fault;
    sent.fault = fault.kind;
    sent.origin = firing.origin;
    FaultedReport bytes = ApplyFault(fault, draft, record, random_);
    sent.bytes = bytes.now + bytes.later;
    if (fault.kind == FaultKind::kStopReading && connection_)
        connection_->StopReading();
    if (holding_ || bytes.later.empty() || !connection_) {
        Write(bytes.now + bytes.later);
    } else {
        // What comes after the held half waits behind it, so the server still reads bytes in order.
        Write(bytes.now);
        holding_ = true;
        held_ = std::move(bytes.later);
        heldTimer_->Start(scheduler_.Now() + Seconds(fault.delay));
    }
    return sent;
}

FaultSeam::Firing FaultSeam::Choose(uint64_t number, Nanos sinceStart)
{
    // Every trigger is checked on every report, so that one fault's draws never shift another's. A
    // live fault comes first, then the tables in their order. A one-shot fault that another takes
    // stays due and takes the next report no fault before it takes; the others lose that report.
    Firing firing;
    if (!injected_.empty()) {
        current_ = std::move(injected_.front());
        injected_.pop_front();
        firing = {&current_->fault, {0, current_->id}};
    }
    for (std::size_t i = 0; i < faults_.size(); ++i) {
        const FaultTrigger& trigger = faults_[i].fault->trigger;
        bool fires = false;
        if (trigger.at)
            fires = !applied_[i] && sinceStart >= Seconds(*trigger.at);
        else if (trigger.every > 0)
            fires = number % trigger.every == 0;
        else
            fires = random_.Uniform() < trigger.probability;
        if (fires && !firing.fault) {
            firing = {faults_[i].fault, {faults_[i].table, 0}};
            applied_[i] = true;
        }
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

void FaultSeam::Flush()
{
    if (!holding_)
        return;
    heldTimer_->Cancel();
    holding_ = false;
    if (connection_)
        connection_->Write(std::exchange(held_, {}));
    held_.clear();
}

void FaultSeam::OnHeldDue()
{
    holding_ = false;
    if (connection_)
        connection_->Write(std::exchange(held_, {}));
    if (onReleased_)
        onReleased_();
}

}  // namespace mimicbox::sim
