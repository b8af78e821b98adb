#include "tools/sim/Summary.h"

#include <cstdlib>

namespace mimicbox::sim {

Summary::Summary(const std::vector<DeviceIdentity>& devices, std::vector<FaultRule> faults, bool keepPeriods)
    : keepPeriods_(keepPeriods), rules_(std::move(faults)), firedByTable_(rules_.size(), 0)
{
    devices_.resize(devices.size());
    for (std::size_t i = 0; i < devices.size(); ++i)
        devices_[i].identity = devices[i];
}

void Summary::OnEvent(const Event& event)
{
    if (event.kind == EventKind::kAdded && event.device >= devices_.size()) {
        devices_.resize(event.device + 1);
        devices_[event.device].identity = event.identity;
    }
    if (event.device >= devices_.size())
        return;
    DeviceStats& stats = devices_[event.device];
    switch (event.kind) {
    case EventKind::kAdded: stats.removed = false; break;
    case EventKind::kRemoved: stats.removed = true; break;
    case EventKind::kConnected:
        ++stats.connects;
        stats.hasLastSent = false;
        break;
    case EventKind::kSent: OnSent(stats, event); break;
    case EventKind::kReceived:
        stats.commands += event.read ? 1 : 0;
        stats.toggles += event.toggled ? 1 : 0;
        break;
    case EventKind::kGaveUp:
        stats.gaveUp = true;
        gaveUp_ = true;
        break;
    default: break;
    }
}

void Summary::OnSent(DeviceStats& stats, const Event& event)
{
    ++stats.reports;
    ++reports_;
    if (event.fault)
        ++faults_;
    if (event.faultTable > 0 && event.faultTable <= firedByTable_.size())
        ++firedByTable_[event.faultTable - 1];
    const uint64_t missed = static_cast<uint64_t>(event.skipped) + (event.missed ? 1 : 0);
    stats.missed += missed;
    missed_ += missed;
    stats.lateness.Add(event.lateness);
    lateness_.Add(event.lateness);
    if (stats.hasLastSent && keepPeriods_) {
        const Nanos interval = event.time - stats.lastSent;
        const Nanos period = Milliseconds(ReportPeriodMs(stats.identity.nDeviceType));
        if (!stats.periodDeviation)
            stats.periodDeviation = std::make_shared<DeviceHistogram>();
        stats.periodDeviation->Add(interval > period ? interval - period : period - interval);
        stats.intervalSumMs += ToMilliseconds(interval);
        ++stats.intervals;
    }
    stats.lastSent = event.time;
    stats.hasLastSent = true;
}


std::vector<FaultTally> Summary::FaultTables() const
{
    std::vector<FaultTally> tallies;
    for (std::size_t i = 0; i < rules_.size(); ++i) {
        FaultTally tally{i + 1, rules_[i], firedByTable_[i], nullptr};
        if (tally.fired == 0)
            tally.neverFired = NeverFired(rules_[i]);
        tallies.push_back(std::move(tally));
    }
    return tallies;
}

const char* Summary::NeverFired(const FaultRule& rule) const
{
    bool any = false;
    for (const DeviceStats& stats : devices_) {
        if (!rule.AppliesTo(stats.identity))
            continue;
        if (stats.connects > 0)
            return "the run ended first";
        any = true;
    }
    return any ? "its devices never connected" : "none of its devices is in the run";
}

}  // namespace mimicbox::sim
