// The rules of faults and timed events, and of a whole scenario.
#include <algorithm>
#include <utility>

#include "core/DeviceModel.h"
#include "tools/sim/Action.h"
#include "tools/sim/Fault.h"
#include "tools/sim/ScenarioRules.h"
#include "tools/sim/ValidationCheck.h"

namespace mimicbox::sim {

namespace {

// The devices a selector names, when they are all the scenario's; an empty list means all.
bool CheckSelector(const Check& check, const std::optional<std::string>& text, const std::vector<DeviceRange>* devices,
                   std::vector<DeviceRange>& ranges)
{
    if (!text)
        return true;
    std::string reason;
    if (*text != "all") {
        DeviceRange range;
        if (!ParseDeviceRange(*text, range, reason))
            return check.Fail("devices", reason);
        ranges.push_back(range);
    }
    if (!devices)
        return true;
    for (const DeviceRange& range : ranges) {
        std::size_t covered = 0;
        for (const DeviceRange& given : *devices) {
            if (given.deviceType == range.deviceType)
                covered += static_cast<std::size_t>(
                    std::max<int64_t>(0, int64_t{std::min(given.last, range.last)} - std::max(given.first, range.first) + 1));
        }
        if (covered < range.Size())
            return check.Fail("devices", "names devices that no [[device]] table gives");
    }
    return true;
}

bool AnyOfType(const std::vector<DeviceRange>& ranges, int32_t deviceType)
{
    return std::any_of(ranges.begin(), ranges.end(), [&](const DeviceRange& range) { return range.deviceType == deviceType; });
}

void CheckTrigger(const Check& check, const FaultEntry& fault, bool live)
{
    check.Range("at", fault.at, 0, kAnyNumber);
    check.Whole("every", fault.every, 1, INT64_MAX);
    check.Range("probability", fault.probability, 0, 1);
    const int triggers = fault.at.has_value() + fault.every.has_value() + fault.probability.has_value();
    if (live && triggers != 0)
        check.Fail("at", "a fault given live applies to the next report: give no trigger");
    if (!live && triggers != 1)
        check.Fail("at", "give one of at = SECONDS, every = N or probability = P");
}

// Each action takes its own value and no other.
void CheckActionValues(const Check& check, const EventEntry& event, ActionKind kind)
{
    const std::pair<ActionKind, std::pair<const char*, bool>> owners[] = {
        {ActionKind::kSilence, {"duration", event.duration.has_value()}},
        {ActionKind::kSetTemperature, {"value", event.value.has_value()}},
        {ActionKind::kSetProfile, {"profile", event.profile.has_value()}},
        {ActionKind::kSetSwitch, {"state", event.state.has_value()}},
        {ActionKind::kSetPeriod, {"period", event.period.has_value()}},
    };
    for (const auto& [owner, value] : owners) {
        const auto& [key, given] = value;
        if (owner == kind && !given)
            check.Fail(key, "missing for " + std::string(ActionKindName(owner)));
        else if (owner != kind)
            check.Absent(key, given, "does not belong to " + std::string(ActionKindName(kind)));
    }
    check.Range("duration", event.duration, 0.001, kAnyNumber);
    check.Range("period", event.period, 0.001, 86400);
    check.Range("value", event.value, TEMP_MIN, TEMP_MAX);
    SwitchChange change = SwitchChange::kToggle;
    if (event.state && !ParseSwitchChange(*event.state, change))
        check.Fail("state", "must be \"on\", \"off\" or \"toggle\"");
    if (event.profile && kind == ActionKind::kSetProfile)
        CheckProfile(check.Table("profile"), *event.profile);
}

}  // namespace

void CheckFault(const Check& check, const FaultEntry& fault, const std::vector<DeviceRange>* devices, bool live)
{
    FaultKind kind = FaultKind::kSplit;
    if (!fault.kind)
        check.Fail("kind", "missing: the fault, such as \"split\"");
    else if (!ParseFaultKind(*fault.kind, kind))
        check.Fail("kind", "must be missing-nul, double-nul, split, garbage, oversized, bad-header, wrong-type, "
                           "duplicate, stale-clock, future-clock, clock-2038, out-of-range or stop-reading");
    CheckTrigger(check, fault, live);
    std::vector<DeviceRange> ranges;
    if (live)
        check.Absent("devices", fault.devices.has_value(), "the request names the device");
    else
        CheckSelector(check, fault.devices, devices, ranges);
    check.Range("delay", fault.delay, 0, 60);
    check.Whole("bytes", fault.bytes, 1, 1000000);
    check.Range("seconds", fault.seconds, 0, kAnyNumber);
    if (check.Range("value", fault.value, -kAnyNumber, kAnyNumber) && fault.value && *fault.value >= TEMP_MIN && *fault.value <= TEMP_MAX)
        check.Fail("value", "must lie outside -30 to 150");
    const bool anyThermo = ranges.empty() || AnyOfType(ranges, TYPE_THERMO);
    if (fault.kind && !live && !anyThermo && !FaultAppliesTo(kind, TYPE_RELAY))
        check.Fail("kind", *fault.kind + " needs a Thermo-Box: a Relay-Box has no temperature");
}

void CheckEvent(const Check& check, const EventEntry& event, const std::vector<DeviceRange>* devices)
{
    check.Needed("at", event.at.has_value(), "the seconds from the start");
    check.Range("at", event.at, 0, kAnyNumber);
    check.Range("every", event.every, 0.001, kAnyNumber);
    std::vector<DeviceRange> ranges;
    CheckSelector(check, event.devices, devices, ranges);
    ActionKind kind = ActionKind::kReconnect;
    if (!event.action) {
        check.Fail("action", "missing: what happens, such as \"silence\"");
        return;
    }
    if (!ParseActionKind(*event.action, kind)) {
        check.Fail("action", "must be disconnect, reset, silence, reconnect, set-temperature, set-profile, set-switch, "
                             "set-period, ignore-commands or obey-commands");
        return;
    }
    const bool fitsOne = ranges.empty() || std::any_of(ranges.begin(), ranges.end(), [&](const DeviceRange& range) {
                             return ActionAppliesTo(kind, range.deviceType);
                         });
    if (!fitsOne)
        check.Fail("action", *event.action + " does not fit the model of these devices");
    CheckActionValues(check, event, kind);
}

Problems Validate(const Scenario& scenario)
{
    Problems problems;
    const Check top(problems, "");
    CheckTop(top, scenario);
    const std::vector<DeviceRange> ranges = CheckDevices(top, scenario.devices);
    const std::vector<DeviceRange>* named = scenario.devices.empty() ? nullptr : &ranges;
    for (std::size_t i = 0; i < scenario.faults.size(); ++i)
        CheckFault(top.Table("fault[" + std::to_string(i + 1) + "]"), scenario.faults[i], named, false);
    for (std::size_t i = 0; i < scenario.events.size(); ++i)
        CheckEvent(top.Table("event[" + std::to_string(i + 1) + "]"), scenario.events[i], named);
    CheckReplay(top, scenario);
    return problems;
}

Problems ValidateLiveFault(const FaultEntry& fault, const std::string& path)
{
    Problems problems;
    CheckFault(Check(problems, path), fault, nullptr, true);
    return problems;
}

}  // namespace mimicbox::sim
