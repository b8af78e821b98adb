#include "tools/sim/ScenarioPlan.h"

#include <array>
#include <charconv>
#include <memory>

#include "tools/sim/CsvTable.h"

namespace mimicbox::sim {

namespace {

// Past the 4096 bytes a server's read buffer commonly holds.
constexpr std::size_t kOversizedBytes = 5000;

// The text of a number as if typed into the dialog's field: the shortest that reads back as it.
std::string FieldText(double value)
{
    std::array<char, 32> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    return std::string(text.data(), result.ptr);
}

Expectation PlanExpectation(const ExpectSpec& spec, std::vector<DeviceRange> devices)
{
    Expectation expectation;
    expectation.devices = std::move(devices);
    if (spec.connection == "kept")
        expectation.connection = ConnectionExpectation::kKept;
    else if (spec.connection == "closed")
        expectation.connection = ConnectionExpectation::kClosed;
    expectation.within = spec.within;
    if (spec.minToggles)
        expectation.minToggles = static_cast<uint64_t>(*spec.minToggles);
    if (spec.maxToggles)
        expectation.maxToggles = static_cast<uint64_t>(*spec.maxToggles);
    expectation.noUnreadableCommands = spec.noUnreadableCommands.value_or(false);
    return expectation;
}

Action PlanAction(const EventSpec& event)
{
    Action action;
    ParseActionKind(*event.action, action.kind);
    action.seconds = event.duration.value_or(event.period.value_or(0));
    if (event.value)
        action.temperature = FieldText(*event.value);
    if (event.profile)
        action.profile = PlanProfile(*event.profile);
    if (event.state)
        ParseSwitchChange(*event.state, action.change);
    return action;
}

// Reads the table of a profile that names a file; a problem at `path` when it cannot be read.
void ReadTable(Profile& profile, const std::string& path, const TableReader& read, Problems& problems)
{
    if (profile.file.empty() || !read)
        return;
    auto points = std::make_shared<std::vector<TablePoint>>();
    std::string error;
    if (!read(profile.file, *points, error)) {
        problems.push_back({path + ".file", error});
        return;
    }
    profile.points = std::move(points);
    profile.file.clear();
}

}  // namespace

Profile PlanProfile(const ProfileSpec& spec)
{
    Profile profile;
    ParseProfileKind(*spec.kind, profile.kind);
    if (spec.mode)
        ParseStepMode(*spec.mode, profile.stepMode);
    profile.rate = spec.rate.value_or(profile.rate);
    profile.to = spec.to;
    profile.mean = spec.mean.value_or(profile.mean);
    profile.amplitude = spec.amplitude.value_or(profile.amplitude);
    profile.period = spec.period.value_or(profile.period);
    profile.phase = spec.phase.value_or(profile.phase);
    profile.sigma = spec.sigma.value_or(profile.sigma);
    profile.min = spec.min.value_or(profile.min);
    profile.max = spec.max.value_or(profile.max);
    profile.linear = spec.interpolation == "linear";
    profile.loop = spec.loop.value_or(false);
    if (profile.kind != ProfileKind::kTable)
        return profile;
    auto points = std::make_shared<std::vector<TablePoint>>();
    std::string ignored;
    if (spec.rows) {
        for (const std::vector<double>& row : *spec.rows)
            points->push_back({row[0], row[1]});
    } else if (spec.csv) {
        ParseCsvTable(*spec.csv, *points, ignored);
    } else {
        profile.file = *spec.file;
        return profile;
    }
    profile.points = std::move(points);
    return profile;
}

Fault PlanFault(const FaultSpec& spec)
{
    Fault fault;
    ParseFaultKind(*spec.kind, fault.kind);
    fault.trigger.at = spec.at;
    fault.trigger.every = spec.every ? static_cast<uint64_t>(*spec.every) : 0;
    fault.trigger.probability = spec.probability.value_or(0);
    fault.delay = spec.delay.value_or(fault.delay);
    fault.bytes = spec.bytes ? static_cast<std::size_t>(*spec.bytes)
                             : fault.kind == FaultKind::kOversized ? kOversizedBytes : fault.bytes;
    fault.seconds = spec.seconds.value_or(fault.kind == FaultKind::kClock2038 ? 0 : fault.seconds);
    fault.value = spec.value.value_or(fault.value);
    return fault;
}

DeviceGroup PlanDevice(const DeviceSpec& spec)
{
    DeviceGroup group;
    std::string ignored;
    ParseDeviceRange(*spec.model + ":" + (spec.serial ? std::to_string(*spec.serial) : *spec.serials), group.range, ignored);
    if (spec.temperature)
        group.setup.temperatureText = FieldText(*spec.temperature);
    if (spec.profile)
        group.setup.profile = PlanProfile(*spec.profile);
    group.toggleEvery = spec.toggleEvery;
    if (spec.expect)
        group.expectation = PlanExpectation(*spec.expect, {group.range});
    return group;
}

std::vector<DeviceRange> SelectorRanges(const std::optional<std::string>& selector)
{
    std::vector<DeviceRange> ranges;
    DeviceRange range;
    std::string ignored;
    if (selector && *selector != "all" && ParseDeviceRange(*selector, range, ignored))
        ranges.push_back(range);
    return ranges;
}

Problems PlanScenario(const Scenario& scenario, const TableReader& read, ScenarioPlan& plan)
{
    Problems problems;
    plan = ScenarioPlan{};
    if (scenario.seed)
        plan.seed = static_cast<uint64_t>(*scenario.seed);
    plan.duration = scenario.duration;
    plan.rampUp = scenario.rampUp;
    if (scenario.reports)
        plan.reports = static_cast<uint64_t>(*scenario.reports);
    plan.host = scenario.host;
    if (scenario.port)
        plan.port = static_cast<unsigned>(*scenario.port);
    if (scenario.expect)
        plan.expectations.push_back(PlanExpectation(*scenario.expect, {}));
    for (std::size_t i = 0; i < scenario.devices.size(); ++i) {
        DeviceGroup group = PlanDevice(scenario.devices[i]);
        ReadTable(group.setup.profile, "device[" + std::to_string(i + 1) + "].profile", read, problems);
        if (group.expectation)
            plan.expectations.push_back(*group.expectation);
        if (group.toggleEvery) {
            TimedAction toggle;
            toggle.action.kind = ActionKind::kSetSwitch;
            toggle.at = toggle.every = *group.toggleEvery;
            toggle.devices = {group.range};
            plan.actions.push_back(toggle);
        }
        plan.devices.push_back(std::move(group));
    }
    for (const FaultSpec& spec : scenario.faults)
        plan.faults.push_back({PlanFault(spec), SelectorRanges(spec.devices)});
    for (std::size_t i = 0; i < scenario.events.size(); ++i) {
        const EventSpec& spec = scenario.events[i];
        TimedAction timed{PlanAction(spec), *spec.at, spec.every.value_or(0), SelectorRanges(spec.devices)};
        ReadTable(timed.action.profile, "event[" + std::to_string(i + 1) + "].profile", read, problems);
        plan.actions.push_back(std::move(timed));
    }
    return problems;
}

}  // namespace mimicbox::sim
