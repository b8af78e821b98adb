// The bodies of the control API's changing requests, read into the same actions, profiles, faults
// and device tables that a scenario file gives. Each is false with a message for the client.
#pragma once

#include <string>
#include <vector>

#include "tools/sim/Action.h"
#include "tools/sim/Fault.h"
#include "tools/sim/ScenarioPlan.h"

namespace mimicbox::control {

// {"value": 42.5}
bool ReadTemperature(const std::string& body, sim::Action& action, std::string& error);
// {"state": "on" | "off" | "toggle"}
bool ReadSwitch(const std::string& body, sim::Action& action, std::string& error);
// disconnect, reset and reconnect take no body (or {}); silence takes {"duration": SECONDS}.
bool ReadConnectionAction(const std::string& what, const std::string& body, sim::Action& action, std::string& error);
// A profile or fault table of the scenario schema, as JSON, checked by its rules: "profile.period:
// must lie from 0.001 to 1e+09". A CSV file the profile names is left for the caller to read.
bool ReadProfile(const std::string& body, sim::Profile& profile, std::string& error);
bool ReadFault(const std::string& body, sim::Fault& fault, std::string& error);
// One [[device]] table of the scenario schema, or a non-empty array of them.
bool ReadDeviceTables(const std::string& body, std::vector<sim::DeviceGroup>& groups, std::string& error);

}  // namespace mimicbox::control
