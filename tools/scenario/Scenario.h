// A run as a scenario file describes it: the seed, how long it runs, the server, and the devices
// with their starting temperature and profile. Loaded and checked whole before anything connects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/sim/DeviceRange.h"
#include "tools/sim/Plant.h"
#include "tools/sim/Verdict.h"

namespace mimicbox::scenario {

// One [[device]] table: a range of devices that start alike.
struct DeviceGroup {
    sim::DeviceRange range;
    sim::DeviceSetup setup;
    std::optional<double> toggleEvery;  // Relay-Box: flips its own switch this often
    std::optional<sim::Expectation> expectation;
};

struct Scenario {
    std::optional<uint64_t> seed;
    std::optional<double> duration;    // seconds
    std::optional<double> rampUp;      // seconds over which the devices connect
    std::optional<uint64_t> reports;   // per device
    std::optional<std::string> host;
    std::optional<unsigned> port;
    std::vector<DeviceGroup> devices;  // in the file's order; no device twice
    std::vector<sim::FaultRule> faults;
    std::vector<sim::TimedAction> actions;  // [[event]] tables, and each device group's toggle_every
    std::vector<sim::Expectation> expectations;  // [expect] for all devices, and each group's expect
};

// "all", a device ("relay:1005") or a range ("thermo:1-4") as scenario files name the devices an
// entry applies to: `ranges` empty for all. False with the reason for any other text.
bool ParseDeviceSelector(std::string_view text, std::vector<sim::DeviceRange>& ranges, std::string& error);

// Reads the TOML text of a scenario. `fileName` names it in messages, and relative CSV paths are
// read from `directory`. On any fault (not TOML, an unknown key, a wrong type, a value out of range,
// a device given twice, a CSV file missing or malformed) returns false with one message,
// "FILE:LINE:COLUMN: KEY: what is wrong"; `scenario` is then not to be used.
bool ParseScenario(std::string_view text, const std::string& fileName, const std::string& directory,
                   Scenario& scenario, std::string& error);

// One profile or fault as the live control hands it over: the text of a TOML inline table of the
// scenario schema, such as { kind = "split", delay = 0.2 }. A live fault has neither trigger nor
// devices: it applies to the next report of the device a request names. False with
// "KEY: what is wrong". A CSV profile's file is not read here: its name is left in `profile.file`
// for the caller to read, away from the runner's loop; inline rows (rows, csv) are read.
bool ParseLiveProfile(std::string_view text, sim::Profile& profile, std::string& error);
bool ParseLiveFault(std::string_view text, sim::Fault& fault, std::string& error);
// One [[device]] table to add to a running plant, as above; it may not carry expectations.
bool ParseLiveDevice(std::string_view text, DeviceGroup& group, std::string& error);

// Reads the file at `path` and parses it as above; false with a message when it cannot be read.
bool LoadScenario(const std::string& path, Scenario& scenario, std::string& error);

}  // namespace mimicbox::scenario
