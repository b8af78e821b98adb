// What a valid scenario runs: its devices with their setups, faults, timed actions and expectations,
// in the plant's own terms.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim/Action.h"
#include "tools/sim/DeviceRange.h"
#include "tools/sim/Fault.h"
#include "tools/sim/Plant.h"
#include "tools/sim/Scenario.h"
#include "tools/sim/Validate.h"
#include "tools/sim/Verdict.h"

namespace mimicbox::sim {

// One [[device]] table: a range of devices that start alike.
struct DeviceGroup {
    DeviceRange range;
    DeviceSetup setup;
    std::optional<double> toggleEvery;  // Relay-Box: flips its own switch this often
    std::optional<Expectation> expectation;
};

struct ScenarioPlan {
    std::optional<uint64_t> seed;
    std::optional<double> duration;    // seconds
    std::optional<double> rampUp;      // seconds over which the devices connect
    std::optional<uint64_t> reports;   // per device
    std::optional<std::string> host;
    std::optional<unsigned> port;
    std::vector<DeviceGroup> devices;  // in the file's order
    std::vector<FaultRule> faults;
    std::vector<TimedAction> actions;  // each group's toggle_every, then the [[event]] tables
    std::vector<Expectation> expectations;  // [expect] for all devices, then each group's
    std::optional<ReplayEntry> replay;
};

// Reads the points of a CSV table named by a profile's `file`; false with why not.
using TableReader = std::function<bool(const std::string& file, std::vector<TablePoint>& points, std::string& error)>;

// The plan of a scenario that Validate found nothing wrong with. Each profile's CSV file is read with
// `read`; what cannot be read is a problem at that profile's `file`. Without `read`, files are left
// named in the profiles, for the caller to read.
Problems PlanScenario(const Scenario& scenario, const TableReader& read, ScenarioPlan& plan);

// Parts of a valid scenario, as the live control takes them; a CSV file is left named.
Profile PlanProfile(const ProfileEntry& profile);
Fault PlanFault(const FaultEntry& fault);
DeviceGroup PlanDevice(const DeviceEntry& device);

// The devices a valid selector names: none for all.
std::vector<DeviceRange> SelectorRanges(const std::optional<std::string>& selector);

}  // namespace mimicbox::sim
