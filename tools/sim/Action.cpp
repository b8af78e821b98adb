#include "tools/sim/Action.h"

#include "tools/sim/NameTable.h"

namespace mimicbox::sim {

namespace {

constexpr std::pair<std::string_view, ActionKind> kActionNames[] = {
    {"disconnect", ActionKind::kDisconnect},
    {"reset", ActionKind::kReset},
    {"silence", ActionKind::kSilence},
    {"reconnect", ActionKind::kReconnect},
    {"set-temperature", ActionKind::kSetTemperature},
    {"set-profile", ActionKind::kSetProfile},
    {"set-switch", ActionKind::kSetSwitch},
    {"set-period", ActionKind::kSetPeriod},
    {"ignore-commands", ActionKind::kIgnoreCommands},
    {"obey-commands", ActionKind::kObeyCommands},
};

constexpr std::pair<std::string_view, SwitchChange> kChanges[] = {
    {"on", SwitchChange::kOn},
    {"off", SwitchChange::kOff},
    {"toggle", SwitchChange::kToggle},
};

}  // namespace

bool ActionAppliesTo(ActionKind kind, int32_t deviceType)
{
    switch (kind) {
    case ActionKind::kSetTemperature:
    case ActionKind::kSetProfile:
        return deviceType == TYPE_THERMO;
    case ActionKind::kSetSwitch:
    case ActionKind::kIgnoreCommands:
    case ActionKind::kObeyCommands:
        return deviceType == TYPE_RELAY;
    default:
        return true;
    }
}

const char* ActionKindName(ActionKind kind) { return NameOf(kActionNames, kind, "action"); }

bool ParseActionKind(std::string_view name, ActionKind& kind) { return ParseName(kActionNames, name, kind); }

bool ParseSwitchChange(std::string_view name, SwitchChange& change) { return ParseName(kChanges, name, change); }

}  // namespace mimicbox::sim
