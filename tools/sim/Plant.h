// The whole simulated plant of a run: one session per device, their start spread over the ramp-up,
// and the run's end once every device is done or has given up, or the duration has passed. The live
// control adds and removes devices while it runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "tools/sim/Action.h"
#include "tools/sim/DeviceRange.h"
#include "tools/sim/Fault.h"
#include "tools/sim/RepeatTimer.h"
#include "tools/sim/Session.h"

namespace mimicbox::sim {

// How one device starts: its temperature as typed into the dialog's field, and its profile; a
// Relay-Box's switch, where it does not start off.
struct DeviceSetup {
    std::string temperatureText = "0";
    Profile profile;
    std::optional<int> switchState;
    double connectAfter = 0;  // seconds after its place in the ramp-up: a replayed device's recorded connect
};

struct PlantConfig {
    std::vector<DeviceIdentity> devices;
    std::vector<DeviceSetup> setups;  // one per device; when empty, every device starts as below
    std::string temperatureText = "0";  // as typed into the dialog's temperature field
    int stepMode = STEP_NONE;
    std::vector<FaultRule> faults;
    std::vector<TimedAction> actions;
    SessionPolicy policy;
    Nanos rampUp{0};    // the connects are spread uniformly over this window
    Nanos duration{0};  // 0 for no limit
    uint64_t seed = 0;  // the reconnect jitter
};

class Plant {
public:
    // Nothing is started yet. The scheduler, factory and sink must outlive the plant.
    Plant(const PlantConfig& config, Scheduler& scheduler, ConnectionFactory& connections, EventSink& sink);

    // Schedules every device's connect and the end of the duration. `onFinished` is called once, when
    // the run has ended by itself; the caller then calls Stop.
    void Start(std::function<void()> onFinished);
    // Closes every connection in an orderly way; nothing happens afterwards.
    void Stop();

    // Device numbers run from 0 to Size() - 1; a removed device keeps its number, and gets it back
    // when it is added again.
    std::size_t Size() const { return sessions_.size(); }
    bool Holds(std::size_t index) const { return index < sessions_.size() && sessions_[index] != nullptr; }
    // The device must be held.
    const Session& At(std::size_t index) const { return *sessions_[index]; }
    Session& At(std::size_t index) { return *sessions_[index]; }
    // The number of the device, or Size() when the plant does not hold it.
    std::size_t Find(const DeviceIdentity& device) const;
    std::size_t HeldCount() const { return held_; }
    // The run has ended, by itself or by Stop: nothing is added or removed any more.
    bool Ended() const { return ended_; }
    std::size_t ConnectedCount() const;

    // Adds the devices, all alike, to the running plant, and returns their numbers (none once the
    // run has ended). They connect at once: as soon as the loop is free, one every 0.1 ms, so that
    // a large batch does not have all its reports fall due in the same millisecond (batches added in
    // quick succession queue behind each other). A Relay-Box flips its own switch every
    // `toggleEvery` seconds when that is above 0. The caller has checked that the plant holds none of
    // them.
    std::vector<std::size_t> Add(const std::vector<DeviceIdentity>& devices, const DeviceSetup& setup,
                                 double toggleEvery);
    // Closes the device's connection in an orderly way and takes it out of the plant; ignored unless
    // the plant holds it and runs.
    void Remove(std::size_t index);

    // Applies the action at once to the devices of `devices` (all when empty) that it fits; returns
    // how many devices it was applied to.
    std::size_t Apply(const std::vector<DeviceRange>& devices, const Action& action);

private:

    std::unique_ptr<Session> MakeSession(std::size_t index, const DeviceIdentity& device, const DeviceSetup* setup);
    std::size_t NumberFor(const DeviceIdentity& device);
    std::vector<TableFault> FaultsOf(const DeviceIdentity& device) const;
    void OnSessionFinished();
    void OnActionDue(std::size_t index);
    void OnToggleDue(std::size_t index);
    void StartAdded();
    void FinishIfAllDone();
    void Finish();
    void Announce(EventKind kind, std::size_t index, const DeviceIdentity& device);

    PlantConfig config_;
    Scheduler& scheduler_;
    ConnectionFactory& connections_;
    EventSink& sink_;
    std::vector<std::unique_ptr<Session>> sessions_;  // null where a device was removed
    std::unordered_map<uint64_t, std::size_t> numbers_;  // by DeviceKey, removed devices too
    // A live-added Relay-Box's own switch flips, by device number, when it has one.
    std::vector<std::unique_ptr<RepeatTimer>> toggles_;
    std::size_t held_ = 0;
    std::vector<std::pair<std::size_t, double>> added_;  // to start, with their toggle periods
    std::unique_ptr<Timer> starter_;
    Instant nextLiveConnect_{};
    std::unique_ptr<Timer> durationTimer_;
    std::vector<std::unique_ptr<RepeatTimer>> actionTimers_;
    std::function<void()> onFinished_;
    std::size_t finished_ = 0;
    bool ended_ = false;
};

}  // namespace mimicbox::sim
