#include "tools/sim/Plant.h"

#include <algorithm>

namespace mimicbox::sim {

Plant::Plant(const PlantConfig& config, Scheduler& scheduler, ConnectionFactory& connections, EventSink& sink)
    : config_(config), scheduler_(scheduler)
{
    sessions_.reserve(config_.devices.size());
    for (std::size_t i = 0; i < config_.devices.size(); ++i) {
        // Each device draws its own jitter and values, reproducibly from the run's seed.
        const uint64_t seed = config_.seed ^ (0x9E3779B97F4A7C15ull * (i + 1));
        Device device(config_.devices[i], config_.temperatureText, config_.stepMode, ~seed);
        if (!config_.setups.empty()) {
            const DeviceSetup& setup = config_.setups[i];
            device.SetTemperature(setup.temperatureText);
            device.SetProfile(setup.profile);
        }
        sessions_.push_back(std::make_unique<Session>(i, std::move(device), config_.policy, scheduler, connections,
                                                      sink, FaultsOf(config_.devices[i]), seed,
                                                      [this] { OnSessionFinished(); }));
    }
}

std::vector<const Fault*> Plant::FaultsOf(const DeviceIdentity& device) const
{
    std::vector<const Fault*> faults;
    for (const FaultRule& rule : config_.faults) {
        const bool named = rule.devices.empty() || std::any_of(rule.devices.begin(), rule.devices.end(),
                                                                [&](const DeviceRange& range) { return range.Contains(device); });
        if (named && FaultAppliesTo(rule.fault.kind, device.nDeviceType))
            faults.push_back(&rule.fault);
    }
    return faults;
}

void Plant::Start(std::function<void()> onFinished)
{
    onFinished_ = std::move(onFinished);
    const Instant start = scheduler_.Now();
    const auto count = static_cast<Nanos::rep>(sessions_.size());
    for (std::size_t i = 0; i < sessions_.size(); ++i)
        sessions_[i]->Start(start + config_.rampUp * static_cast<Nanos::rep>(i) / std::max<Nanos::rep>(count, 1));
    start_ = start;
    for (std::size_t i = 0; i < config_.actions.size(); ++i) {
        actionTimers_.push_back(scheduler_.CreateTimer([this, i] { OnActionDue(i); }));
        actionTimers_.back()->Start(start + Seconds(config_.actions[i].at));
    }
    if (config_.duration > Nanos(0)) {
        durationTimer_ = scheduler_.CreateTimer([this] { Finish(); });
        durationTimer_->Start(start + config_.duration);
    }
    if (sessions_.empty())
        Finish();
}

void Plant::Stop()
{
    ended_ = true;
    if (durationTimer_)
        durationTimer_->Cancel();
    for (auto& timer : actionTimers_)
        timer->Cancel();
    for (auto& session : sessions_)
        session->Stop();
}

std::size_t Plant::ConnectedCount() const
{
    return static_cast<std::size_t>(
        std::count_if(sessions_.begin(), sessions_.end(), [](const auto& session) { return session->Connected(); }));
}

std::size_t Plant::Find(const DeviceIdentity& device) const
{
    const auto found = std::find_if(sessions_.begin(), sessions_.end(),
                                    [&](const auto& session) { return session->GetDevice().Identity() == device; });
    return static_cast<std::size_t>(found - sessions_.begin());
}

std::size_t Plant::Apply(const std::vector<DeviceRange>& devices, const Action& action)
{
    std::size_t applied = 0;
    for (auto& session : sessions_) {
        const DeviceIdentity& identity = session->GetDevice().Identity();
        const bool named = devices.empty() || std::any_of(devices.begin(), devices.end(),
                                                          [&](const DeviceRange& range) { return range.Contains(identity); });
        if (named && ActionAppliesTo(action.kind, identity.nDeviceType)) {
            session->Apply(action);
            ++applied;
        }
    }
    return applied;
}

void Plant::OnActionDue(std::size_t index)
{
    const TimedAction& timed = config_.actions[index];
    Apply(timed.devices, timed.action);
    // Repeats keep to the start's grid, so that they do not drift with the loop.
    if (timed.every > 0 && !ended_) {
        const Nanos every = Seconds(timed.every);
        const Nanos since = scheduler_.Now() - (start_ + Seconds(timed.at));
        actionTimers_[index]->Start(start_ + Seconds(timed.at) + every * (since / every + 1));
    }
}

void Plant::OnSessionFinished()
{
    if (++finished_ == sessions_.size())
        Finish();
}

void Plant::Finish()
{
    if (ended_)
        return;
    ended_ = true;
    if (onFinished_)
        onFinished_();
}

}  // namespace mimicbox::sim
