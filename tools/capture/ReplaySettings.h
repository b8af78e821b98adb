// How a capture is replayed: [replay] of a scenario, or --replay, in the capture's own terms.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "tools/sim/Scenario.h"

namespace mimicbox::capture {

struct ReplaySettings {
    std::string capture;
    bool exact = false;
    double speed = 1;
    bool loop = false;
    double from = 0;               // seconds of the capture
    std::optional<double> to;
    bool rewriteClock = false;
    uint64_t copies = 1;
    std::map<int32_t, int32_t> serials;  // recorded serial to the one it plays as

    // Whether a moment of the capture lies in the window, and where it falls in the replay.
    bool Within(double t) const { return t >= from && (!to || t < *to); }
    double Replayed(double t) const { return (t - from) / speed; }
    int32_t SerialOf(int32_t recorded) const
    {
        const auto found = serials.find(recorded);
        return found == serials.end() ? recorded : found->second;
    }
};

// The settings of a valid [replay] table; a relative capture path is taken from `folder`.
ReplaySettings SettingsOf(const sim::ReplayEntry& replay, const std::string& folder);

}  // namespace mimicbox::capture
