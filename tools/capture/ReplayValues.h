// Values mode: each recorded device becomes a device of its model and serial. A Thermo-Box plays its
// recorded temperatures as a table profile at their recorded times; a Relay-Box starts from its first
// recorded switch state and then obeys the server as any device. Copies play under new serials.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tools/capture/RecordedDevices.h"
#include "tools/sim/ScenarioPlan.h"

namespace mimicbox::capture {

struct ValuesReplay {
    std::vector<sim::DeviceGroup> groups;  // one device each
    // What the recorded server sent each device, by the name it plays as, copies included.
    std::shared_ptr<const sim::RecordedCommands> commands;
};

// False with a message when serials clash or run out.
bool PlanValues(const RecordedDevices& recorded, const ReplaySettings& settings, ValuesReplay& replay, std::string& error);

}  // namespace mimicbox::capture
