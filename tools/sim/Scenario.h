// A scenario as it is written: plain structs, whichever front end filled them (a TOML file, the
// control API's JSON, the command line). Nothing here is checked yet; Validate says what is wrong,
// with the path of each value, and ScenarioPlan turns a valid scenario into what the plant runs.
// Names stay as written ("split", "thermo") so that an unknown one gets the same message from
// every front end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mimicbox::sim {

// A Thermo-Box's profile table: { kind = "sine", mean = 20.0, ... }.
struct ProfileEntry {
    std::optional<std::string> kind;
    std::optional<std::string> mode;         // steps
    std::optional<double> rate;              // ramp
    std::optional<double> to;
    std::optional<double> mean;              // sine
    std::optional<double> amplitude;
    std::optional<double> period;
    std::optional<double> phase;
    std::optional<double> sigma;             // random-walk
    std::optional<double> min;
    std::optional<double> max;
    std::optional<std::string> file;         // csv: one of file, csv and rows
    std::optional<std::string> csv;
    std::optional<std::vector<std::vector<double>>> rows;
    std::optional<std::string> interpolation;
    std::optional<bool> loop;
};

// An expectation: [expect], or a [[device]] table's expect.
struct ExpectEntry {
    std::optional<std::string> connection;
    std::optional<double> within;
    bool toggles = false;  // a toggles table was given, with these bounds
    std::optional<int64_t> minToggles;
    std::optional<int64_t> maxToggles;
    std::optional<bool> noUnreadableCommands;
    bool sameCommands = false;  // a same_commands_as_recording table was given, with this tolerance
    std::optional<double> sameCommandsTolerance;
};

struct DeviceEntry {
    std::optional<std::string> model;
    std::optional<int64_t> serial;
    std::optional<std::string> serials;
    std::optional<double> temperature;
    std::optional<ProfileEntry> profile;
    std::optional<double> toggleEvery;
    std::optional<ExpectEntry> expect;
};

struct FaultEntry {
    std::optional<std::string> kind;
    std::optional<std::string> devices;
    std::optional<double> at;  // the trigger: one of at, every and probability
    std::optional<int64_t> every;
    std::optional<double> probability;
    std::optional<double> delay;
    std::optional<int64_t> bytes;
    std::optional<double> seconds;
    std::optional<double> value;
};

struct EventEntry {
    std::optional<double> at;
    std::optional<double> every;
    std::optional<std::string> devices;
    std::optional<std::string> action;
    std::optional<double> duration;  // the action's value: each action takes its own
    std::optional<double> value;
    std::optional<ProfileEntry> profile;
    std::optional<std::string> state;
    std::optional<double> period;
};

// [replay]: devices played from a capture.
struct ReplayEntry {
    std::optional<std::string> capture;  // the file, relative to the scenario's folder
    std::optional<std::string> mode;     // "values" or "exact"
    std::optional<double> speed;
    std::optional<bool> loop;
    std::optional<double> from;          // seconds of the capture
    std::optional<double> to;
    std::optional<bool> rewriteClock;
    std::optional<int64_t> copies;
    std::vector<std::pair<std::string, int64_t>> serials;  // a recorded serial, as its key, and its new one
};

struct Scenario {
    std::optional<int64_t> seed;
    std::optional<double> duration;
    std::optional<int64_t> reports;
    std::optional<double> rampUp;
    std::optional<std::string> host;
    std::optional<int64_t> port;
    std::vector<DeviceEntry> devices;
    std::vector<FaultEntry> faults;
    std::vector<EventEntry> events;
    std::optional<ExpectEntry> expect;
    std::optional<ReplayEntry> replay;
};

// The keys of each table, as every front end takes them.
struct ScenarioKeys {
    static const std::vector<std::string>& Top();
    static const std::vector<std::string>& Server();
    static const std::vector<std::string>& Device();
    static const std::vector<std::string>& Profile();
    static const std::vector<std::string>& Expect();
    static const std::vector<std::string>& Toggles();
    static const std::vector<std::string>& Fault();
    static const std::vector<std::string>& Event();
    static const std::vector<std::string>& Replay();
};

}  // namespace mimicbox::sim
