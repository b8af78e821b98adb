// The rules of the top level, the devices, their profiles and expectations.
#include <algorithm>
#include <cmath>

#include "core/DeviceModel.h"
#include "tools/sim/CsvTable.h"
#include "tools/sim/DeviceRange.h"
#include "tools/sim/Profile.h"
#include "tools/sim/ScenarioRules.h"
#include "tools/sim/ValidationCheck.h"

namespace mimicbox::sim {

namespace {

void CheckKeysOfKind(const Check& check, const ProfileEntry& profile, ProfileKind kind)
{
    const auto mine = [&](ProfileKind owner) { return owner == kind; };
    check.Absent("mode", profile.mode && !mine(ProfileKind::kSteps));
    for (const auto& [key, value] : {std::pair{"rate", profile.rate}, std::pair{"to", profile.to}})
        check.Absent(key, value && !mine(ProfileKind::kRamp));
    for (const auto& [key, value] : {std::pair{"mean", profile.mean}, std::pair{"amplitude", profile.amplitude},
                                     std::pair{"period", profile.period}, std::pair{"phase", profile.phase}})
        check.Absent(key, value && !mine(ProfileKind::kSine));
    for (const auto& [key, value] :
         {std::pair{"sigma", profile.sigma}, std::pair{"min", profile.min}, std::pair{"max", profile.max}})
        check.Absent(key, value && !mine(ProfileKind::kRandomWalk));
    const bool table = mine(ProfileKind::kTable);
    check.Absent("file", profile.file && !table);
    check.Absent("csv", profile.csv && !table);
    check.Absent("rows", profile.rows && !table);
    check.Absent("interpolation", profile.interpolation && !table);
    check.Absent("loop", profile.loop && !table);
}

void CheckTable(const Check& check, const ProfileEntry& profile)
{
    if (profile.file.has_value() + profile.csv.has_value() + profile.rows.has_value() != 1) {
        check.Fail("file", "give one of file = \"NAME.csv\", csv = \"SECONDS,VALUE rows\" or rows = [[SECONDS, VALUE], ...]");
        return;
    }
    if (profile.interpolation && *profile.interpolation != "hold" && *profile.interpolation != "linear")
        check.Fail("interpolation", "must be \"hold\" or \"linear\"");
    std::vector<TablePoint> points;
    std::string reason;
    if (profile.csv && !ParseCsvTable(*profile.csv, points, reason))
        check.Fail("csv", reason);
    if (!profile.rows)
        return;
    if (profile.rows->empty())
        check.Fail("rows", "must be a list of [SECONDS, VALUE] rows");
    for (std::size_t i = 0; i < profile.rows->size(); ++i) {
        const std::vector<double>& row = (*profile.rows)[i];
        const std::string at = "rows[" + std::to_string(i + 1) + "]";
        if (row.size() != 2 || !std::isfinite(row[0]) || !std::isfinite(row[1])) {
            check.Fail(at, "must be two numbers [SECONDS, VALUE]");
            return;
        }
        if (row[0] < 0 || (i > 0 && row[0] <= (*profile.rows)[i - 1][0])) {
            check.Fail(at, "seconds must start from 0 or later and rise");
            return;
        }
    }
}

void CheckRanges(const Check& check, const ProfileEntry& profile)
{
    check.Range("rate", profile.rate, -kAnyNumber, kAnyNumber);
    check.Range("to", profile.to, TEMP_MIN, TEMP_MAX);
    check.Range("mean", profile.mean, -kAnyNumber, kAnyNumber);
    check.Range("amplitude", profile.amplitude, -kAnyNumber, kAnyNumber);
    check.Range("period", profile.period, 0.001, kAnyNumber);
    check.Range("phase", profile.phase, -kAnyNumber, kAnyNumber);
    check.Range("sigma", profile.sigma, 0, TEMP_MAX - TEMP_MIN);
    // Both bounds are checked so that each one's fault is reported.
    const bool minOk = check.Range("min", profile.min, TEMP_MIN, TEMP_MAX);
    const bool maxOk = check.Range("max", profile.max, TEMP_MIN, TEMP_MAX);
    if (minOk && maxOk && profile.min && profile.max && *profile.min > *profile.max)
        check.Fail("min", "must not lie above max");
}

void CheckExpect(const Check& check, const ExpectEntry& expect)
{
    if (expect.connection && *expect.connection != "kept" && *expect.connection != "closed")
        check.Fail("connection", "must be \"kept\" or \"closed\"");
    if (check.Range("within", expect.within, 0, kAnyNumber) && expect.within && expect.connection != "closed")
        check.Fail("within", "needs connection = \"closed\"");
    if (expect.sameCommands)
        check.Table("same_commands_as_recording").Range("tolerance", expect.sameCommandsTolerance.value_or(0.5), 0, 3600);
    if (!expect.toggles)
        return;
    const Check toggles = check.Table("toggles");
    const bool minOk = toggles.Whole("min", expect.minToggles, 0, INT64_MAX);
    const bool maxOk = toggles.Whole("max", expect.maxToggles, 0, INT64_MAX);
    if (!expect.minToggles && !expect.maxToggles)
        toggles.Fail("", "give min, max or both");
    else if (minOk && maxOk && expect.minToggles && expect.maxToggles && *expect.minToggles > *expect.maxToggles)
        toggles.Fail("min", "must not lie above max");
}

}  // namespace

void CheckProfile(const Check& check, const ProfileEntry& profile)
{
    ProfileKind kind = ProfileKind::kSteps;
    if (!profile.kind || !ParseProfileKind(*profile.kind, kind)) {
        check.Fail("kind", "must be steps, ramp, sine, random-walk or csv");
        return;
    }
    const std::size_t before = check.Count();
    CheckKeysOfKind(check, profile, kind);
    if (check.Count() != before)
        return;
    int mode = STEP_NONE;
    if (profile.mode && !ParseStepMode(*profile.mode, mode))
        check.Fail("mode", "must be none, up, up-fast, down or down-fast");
    CheckRanges(check, profile);
    if (kind == ProfileKind::kTable)
        CheckTable(check, profile);
}

bool CheckDevice(const Check& check, const DeviceEntry& device, bool live, DeviceRange& range)
{
    if (!device.model)
        return check.Fail("model", "missing: \"thermo\" or \"relay\"");
    if (*device.model != MODEL_KEY_THERMO && *device.model != MODEL_KEY_RELAY)
        return check.Fail("model", "must be \"thermo\" or \"relay\"");
    if (device.serial.has_value() == device.serials.has_value())
        return check.Fail("serial", "give either serial = N or serials = \"FIRST-LAST\"");
    if (!check.Whole("serial", device.serial, 1, kMaxSerial))
        return false;
    std::string reason;
    const std::string text = *device.model + ":" + (device.serial ? std::to_string(*device.serial) : *device.serials);
    if (!ParseDeviceRange(text, range, reason))
        return check.Fail(device.serial ? "serial" : "serials", reason);
    const bool thermo = range.deviceType == TYPE_THERMO;
    const std::size_t before = check.Count();
    check.Range("toggle_every", device.toggleEvery, 0.001, kAnyNumber);
    check.Absent("toggle_every", thermo && device.toggleEvery, "a Thermo-Box has no switch");
    check.Absent("temperature", !thermo && device.temperature, "a Relay-Box has no temperature");
    check.Absent("profile", !thermo && device.profile, "a Relay-Box has no temperature");
    check.Range("temperature", device.temperature, TEMP_MIN, TEMP_MAX);
    if (device.expect && live)
        check.Fail("expect", "expectations are given when the run starts, in its scenario");
    else if (device.expect)
        CheckExpect(check.Table("expect"), *device.expect);
    if (thermo && device.profile)
        CheckProfile(check.Table("profile"), *device.profile);
    return check.Count() == before;
}

void CheckTop(const Check& check, const Scenario& scenario)
{
    check.Whole("seed", scenario.seed, 0, INT64_MAX);
    check.Range("duration", scenario.duration, 0.001, kAnyNumber);
    check.Whole("reports", scenario.reports, 1, INT64_MAX);
    check.Range("ramp_up", scenario.rampUp, 0, kAnyNumber);
    if (scenario.host && scenario.host->empty())
        check.Fail("server.host", "must name a host");
    check.Whole("server.port", scenario.port, 1, 65535);
    if (scenario.expect)
        CheckExpect(check.Table("expect"), *scenario.expect);
}

std::vector<DeviceRange> CheckDevices(const Check& check, const std::vector<DeviceEntry>& devices)
{
    std::vector<DeviceRange> ranges;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const std::string where = "device[" + std::to_string(i + 1) + "]";
        DeviceRange range;
        if (!CheckDevice(check.Table(where), devices[i], false, range))
            continue;
        ranges.push_back(range);
        std::string overlap;
        if (!CheckNoOverlap(ranges, overlap)) {
            ranges.pop_back();
            check.Fail(where, overlap);
        }
    }
    return ranges;
}

Problems ValidateProfile(const ProfileEntry& profile, const std::string& path)
{
    Problems problems;
    CheckProfile(Check(problems, path), profile);
    return problems;
}

Problems ValidateLiveDevice(const DeviceEntry& device, const std::string& path)
{
    Problems problems;
    DeviceRange range;
    CheckDevice(Check(problems, path), device, true, range);
    return problems;
}

}  // namespace mimicbox::sim
