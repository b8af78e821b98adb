#include "tools/sim/Plant.h"

#include <algorithm>

namespace mimicbox::sim {

namespace {

constexpr Nanos kLiveConnectGap = std::chrono::microseconds(100);

uint64_t DeviceKey(const DeviceIdentity& device)
{
    return uint64_t{static_cast<uint32_t>(device.nDeviceType)} << 32 | static_cast<uint32_t>(device.nSerial);
}

}  // namespace

Plant::Plant(const PlantConfig& config, Scheduler& scheduler, ConnectionFactory& connections, EventSink& sink)
    : config_(config), scheduler_(scheduler), connections_(connections), sink_(sink)
{
    sessions_.reserve(config_.devices.size());
    for (std::size_t i = 0; i < config_.devices.size(); ++i) {
        sessions_.push_back(MakeSession(i, config_.devices[i], config_.setups.empty() ? nullptr : &config_.setups[i]));
        numbers_.emplace(DeviceKey(config_.devices[i]), i);
    }
    held_ = sessions_.size();
}

std::unique_ptr<Session> Plant::MakeSession(std::size_t index, const DeviceIdentity& identity, const DeviceSetup* setup)
{
    // Each device draws its own jitter and values, reproducibly from the run's seed.
    const uint64_t seed = config_.seed ^ (0x9E3779B97F4A7C15ull * (index + 1));
    Device device(identity, config_.temperatureText, config_.stepMode, ~seed);
    if (setup) {
        device.SetTemperature(setup->temperatureText);
        device.SetProfile(setup->profile);
        if (setup->switchState)
            device.SetSwitch(*setup->switchState);
    }
    return std::make_unique<Session>(index, std::move(device), config_.policy, scheduler_, connections_, sink_,
                                     FaultsOf(identity), seed, [this] { OnSessionFinished(); });
}

std::vector<TableFault> Plant::FaultsOf(const DeviceIdentity& device) const
{
    std::vector<TableFault> faults;
    for (std::size_t i = 0; i < config_.faults.size(); ++i) {
        if (config_.faults[i].AppliesTo(device))
            faults.push_back({&config_.faults[i].fault, i + 1});
    }
    return faults;
}

void Plant::Start(std::function<void()> onFinished)
{
    onFinished_ = std::move(onFinished);
    const Instant start = scheduler_.Now();
    const auto count = static_cast<Nanos::rep>(sessions_.size());
    for (std::size_t i = 0; i < sessions_.size(); ++i) {
        const Nanos after = config_.setups.empty() ? Nanos(0) : Seconds(config_.setups[i].connectAfter);
        sessions_[i]->Start(start + config_.rampUp * static_cast<Nanos::rep>(i) / std::max<Nanos::rep>(count, 1) + after);
    }
    for (std::size_t i = 0; i < config_.actions.size(); ++i) {
        const TimedAction& timed = config_.actions[i];
        actionTimers_.push_back(std::make_unique<RepeatTimer>(scheduler_, [this, i] { OnActionDue(i); }));
        actionTimers_.back()->Start(start + Seconds(timed.at), timed.every > 0 ? Seconds(timed.every) : Nanos(0));
    }
    if (config_.duration > Nanos(0)) {
        durationTimer_ = scheduler_.CreateTimer([this] { Finish(); });
        durationTimer_->Start(start + config_.duration);
    }
}

void Plant::Stop()
{
    ended_ = true;
    if (durationTimer_)
        durationTimer_->Cancel();
    for (auto& timer : actionTimers_)
        timer->Cancel();
    for (auto& toggle : toggles_)
        toggle.reset();
    if (starter_)
        starter_->Cancel();
    for (auto& session : sessions_)
        if (session)
            session->Stop();
}

std::size_t Plant::ConnectedCount() const
{
    return static_cast<std::size_t>(std::count_if(sessions_.begin(), sessions_.end(),
                                                  [](const auto& session) { return session && session->Connected(); }));
}

std::size_t Plant::Find(const DeviceIdentity& device) const
{
    const auto found = numbers_.find(DeviceKey(device));
    return found != numbers_.end() && sessions_[found->second] ? found->second : sessions_.size();
}

std::vector<std::size_t> Plant::Add(const std::vector<DeviceIdentity>& devices, const DeviceSetup& setup,
                                    double toggleEvery)
{
    std::vector<std::size_t> added;
    if (ended_)
        return added;
    added.reserve(devices.size());
    for (const DeviceIdentity& device : devices) {
        const std::size_t index = NumberFor(device);
        sessions_[index] = MakeSession(index, device, &setup);
        ++held_;
        Announce(EventKind::kAdded, index, device);
        added_.emplace_back(index, device.nDeviceType == TYPE_RELAY ? toggleEvery : 0);
        added.push_back(index);
    }
    // Started from the next turn of the loop: making a large batch, and the answer that lists it,
    // takes long enough that connects spaced from now would be overdue, and go out in one burst.
    if (!starter_)
        starter_ = scheduler_.CreateTimer([this] { StartAdded(); });
    starter_->Start(scheduler_.Now());
    return added;
}

void Plant::StartAdded()
{
    Instant at = std::max(scheduler_.Now(), nextLiveConnect_);
    for (const auto& [index, toggleEvery] : added_) {
        if (ended_)
            break;
        sessions_[index]->Start(at);
        if (toggleEvery > 0) {
            if (toggles_.size() <= index)
                toggles_.resize(index + 1);
            toggles_[index] = std::make_unique<RepeatTimer>(scheduler_, [this, i = index] { OnToggleDue(i); });
            toggles_[index]->Start(at + Seconds(toggleEvery), Seconds(toggleEvery));
        }
        at += kLiveConnectGap;
    }
    added_.clear();
    nextLiveConnect_ = at;
}

std::size_t Plant::NumberFor(const DeviceIdentity& device)
{
    const auto [found, fresh] = numbers_.emplace(DeviceKey(device), sessions_.size());
    if (fresh)
        sessions_.emplace_back();
    return found->second;
}

void Plant::Remove(std::size_t index)
{
    if (!Holds(index) || ended_)
        return;
    std::unique_ptr<Session> session = std::move(sessions_[index]);
    --held_;
    if (session->Finished())
        --finished_;
    if (index < toggles_.size())
        toggles_[index].reset();
    std::erase_if(added_, [index](const auto& waiting) { return waiting.first == index; });
    session->Stop();
    Announce(EventKind::kRemoved, index, session->GetDevice().Identity());
    FinishIfAllDone();
}

void Plant::Announce(EventKind kind, std::size_t index, const DeviceIdentity& device)
{
    Event event{};
    event.kind = kind;
    event.device = index;
    event.identity = device;
    event.time = scheduler_.Now();
    event.calendarMillis = scheduler_.CalendarMillis();
    sink_.OnEvent(event);
}

std::size_t Plant::Apply(const std::vector<DeviceRange>& devices, const Action& action)
{
    std::size_t applied = 0;
    for (auto& session : sessions_) {
        if (!session)
            continue;
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
}

void Plant::OnToggleDue(std::size_t index)
{
    Action action;
    action.kind = ActionKind::kSetSwitch;
    sessions_[index]->Apply(action);
}

void Plant::OnSessionFinished()
{
    ++finished_;
    FinishIfAllDone();
}

// A plant that holds no device waits for the live control to add some.
void Plant::FinishIfAllDone()
{
    if (held_ > 0 && finished_ == held_)
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
