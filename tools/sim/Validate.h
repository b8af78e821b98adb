// The rules of a scenario, checked on the plain structs whatever front end filled them: every fault
// found, each with the path of its value ("device[2].profile.period") and a message.
#pragma once

#include <string>
#include <vector>

#include "tools/sim/Scenario.h"

namespace mimicbox::sim {

struct Problem {
    std::string path;     // "device[2].profile.period"; tables count from 1
    std::string message;  // "must lie from 0.001 to 1e+09"
};
using Problems = std::vector<Problem>;

// Every fault of the scenario, in the order of the file.
Problems Validate(const Scenario& scenario);

// Tables as the live control takes them, at `path`: a profile; a fault with neither trigger nor
// devices (it applies to the next report of the device the request names); a device table without
// an expectation (those are given when the run starts).
Problems ValidateProfile(const ProfileEntry& profile, const std::string& path);
Problems ValidateLiveFault(const FaultEntry& fault, const std::string& path);
Problems ValidateLiveDevice(const DeviceEntry& device, const std::string& path);

// "PATH: MESSAGE"
std::string ProblemText(const Problem& problem);

// A bound as messages print it: "150", "0.001", "1e+09".
std::string BoundText(double value);

}  // namespace mimicbox::sim
