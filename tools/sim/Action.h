// What a scenario's timed events (and the live control) do to a running device: plain data that a
// session applies, so that every way of changing a device goes through one path.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/sim/DeviceRange.h"
#include "tools/sim/Profile.h"

namespace mimicbox::sim {

enum class ActionKind {
    kDisconnect,      // close the connection (FIN) and stay away until a reconnect
    kReset,           // the same with a reset (RST)
    kSilence,         // stay connected, send no report for `seconds`
    kReconnect,       // close if connected, and connect again at once
    kSetTemperature,  // Thermo-Box: the temperature as if typed
    kSetProfile,      // Thermo-Box
    kSetSwitch,       // Relay-Box: on, off or toggle
    kSetPeriod,       // report every `seconds` from the next deadline on
    kIgnoreCommands,  // read the server's records but do not act on them
    kObeyCommands,
};

enum class SwitchChange { kOff, kOn, kToggle };

struct Action {
    ActionKind kind = ActionKind::kReconnect;
    double seconds = 0;           // silence: how long; set-period: the new period
    std::string temperature;      // set-temperature, as typed
    Profile profile;              // set-profile
    SwitchChange change = SwitchChange::kToggle;  // set-switch
};

// An action at `at` seconds from the start, and again every `every` seconds when that is above 0,
// for the devices of `devices` (all when empty).
struct TimedAction {
    Action action;
    double at = 0;
    double every = 0;
    std::vector<DeviceRange> devices;
};

// Whether the action makes sense for a device of this type: temperatures and profiles need a
// Thermo-Box, the switch and commands a Relay-Box.
bool ActionAppliesTo(ActionKind kind, int32_t deviceType);

// "disconnect", "set-temperature", ... as scenario files name them; ParseActionKind is its inverse.
const char* ActionKindName(ActionKind kind);
bool ParseActionKind(std::string_view name, ActionKind& kind);

// "on", "off" or "toggle"; false for any other text.
bool ParseSwitchChange(std::string_view name, SwitchChange& change);

}  // namespace mimicbox::sim
