// How a Thermo-Box's temperature moves from report to report: the dialog's latched steps, or a ramp,
// a sine, a seeded random walk or a table of (seconds, value) points. Plain data; the value at each
// report comes from ProfileValue, and every value then takes the dialog's single-precision path.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/DeviceModel.h"
#include "tools/sim/Random.h"

namespace mimicbox::sim {

enum class ProfileKind { kSteps, kRamp, kSine, kRandomWalk, kTable };

struct TablePoint {
    double seconds = 0;
    double value = 0;
};

struct Profile {
    ProfileKind kind = ProfileKind::kSteps;
    int stepMode = STEP_NONE;  // steps
    double rate = 0;           // ramp: degrees per second
    std::optional<double> to;  // ramp: where it stops and holds
    double mean = 20;          // sine
    double amplitude = 0;      // sine
    double period = 60;        // sine: seconds, above 0
    double phase = 0;          // sine: radians
    double sigma = 0.1;        // random walk: degrees per report
    double min = TEMP_MIN;     // random walk: its bounds
    double max = TEMP_MAX;
    std::shared_ptr<const std::vector<TablePoint>> points;  // table: ascending seconds, at least one
    std::string file;          // table: the CSV file still to read its points from, when not yet read
    bool linear = false;       // table: interpolate between points rather than hold each
    bool loop = false;         // table: start again after the last point
};

// The value a profile gives for the report `elapsed` seconds after it was set, where `start` was the
// temperature then and `current` the one of the last report. Steps are not a value here: the device
// applies the dialog's step rule for them. The random walk draws from `random`.
double ProfileValue(const Profile& profile, double elapsed, double start, double current, Random& random);

// Sine and tables give each report a value of their own, whatever the temperature was before, so a
// temperature set by hand would never reach a report while they run.
bool ProfileIsAbsolute(ProfileKind kind);

// "none", "up", "up-fast", "down", "down-fast" as the step mode; false for any other text.
bool ParseStepMode(std::string_view text, int& stepMode);

// "steps", "ramp", "sine", "random-walk", "csv" as scenario files name them; ParseProfileKind is its
// inverse.
const char* ProfileKindName(ProfileKind kind);
bool ParseProfileKind(std::string_view name, ProfileKind& kind);

}  // namespace mimicbox::sim
