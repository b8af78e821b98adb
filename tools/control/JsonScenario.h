// JSON objects of the scenario schema, as the control API takes them, mapped onto the plain structs
// of sim::Scenario: types only, the rules are Validate's. The same keys and messages as a TOML file.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "tools/sim/Scenario.h"
#include "tools/sim/Validate.h"

namespace mimicbox::control {

sim::Problems ReadProfileJson(const nlohmann::json& object, const std::string& path, sim::ProfileEntry& profile);
sim::Problems ReadFaultJson(const nlohmann::json& object, const std::string& path, sim::FaultEntry& fault);
sim::Problems ReadDeviceJson(const nlohmann::json& object, const std::string& path, sim::DeviceEntry& device);

}  // namespace mimicbox::control
