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

Expectation PlanExpectation(const ExpectEntry& written, std::vector<DeviceRange> devices)
{
    Expectation expectation;
    expectation.devices = std::move(devices);
    if (written.connection == "kept")
        expectation.connection = ConnectionExpectation::kKept;
    else if (written.connection == "closed")
        expectation.connection = ConnectionExpectation::kClosed;
    expectation.within = written.within;
    if (written.minToggles)
        expectation.minToggles = static_cast<uint64_t>(*written.minToggles);
    if (written.maxToggles)
        expectation.maxToggles = static_cast<uint64_t>(*written.maxToggles);
    expectation.noUnreadableCommands = written.noUnreadableCommands.value_or(false);
    if (written.sameCommands)
        expectation.sameCommands = written.sameCommandsTolerance.value_or(0.5);
    return expectation;
}

Action PlanAction(const EventEntry& event)
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

Profile PlanProfile(const ProfileEntry& written)
{
    Profile profile;
    ParseProfileKind(*written.kind, profile.kind);
    if (written.mode)
        ParseStepMode(*written.mode, profile.stepMode);
    profile.rate = written.rate.value_or(profile.rate);
    profile.to = written.to;
    profile.mean = written.mean.value_or(profile.mean);
    profile.amplitude = written.amplitude.value_or(profile.amplitude);
    profile.period = written.period.value_or(profile.period);
    profile.phase = written.phase.value_or(profile.phase);
    profile.sigma = written.sigma.value_or(profile.sigma);
    profile.min = written.min.value_or(profile.min);
    profile.max = written.max.value_or(profile.max);
    profile.linear = written.interpolation == "linear";
    profile.loop = written.loop.value_or(false);
    if (profile.kind != ProfileKind::kTable)
        return profile;
    auto points = std::make_shared<std::vector<TablePoint>>();
    std::string ignored;
    if (written.rows) {
        for (const std::vector<double>& row : *written.rows)
            points->push_back({row[0], row[1]});
    } else if (written.csv) {
        ParseCsvTable(*written.csv, *points, ignored);
    } else {
        profile.file = *written.file;
        return profile;
    }
    profile.points = std::move(points);
    return profile;
}

Fault PlanFault(const FaultEntry& written)
{
    Fault fault;
    ParseFaultKind(*written.kind, fault.kind);
    fault.trigger.at = written.at;
    fault.trigger.every = written.every ? static_cast<uint64_t>(*written.every) : 0;
    fault.trigger.probability = written.probability.value_or(0);
    fault.delay = written.delay.value_or(fault.delay);
    fault.bytes = written.bytes ? static_cast<std::size_t>(*written.bytes)
                             : fault.kind == FaultKind::kOversized ? kOversizedBytes : fault.bytes;
    fault.seconds = written.seconds.value_or(fault.kind == FaultKind::kClock2038 ? 0 : fault.seconds);
    fault.value = written.value.value_or(fault.value);
    return fault;
}

DeviceGroup PlanDevice(const DeviceEntry& written)
{
    DeviceGroup group;
    std::string ignored;
    ParseDeviceRange(*written.model + ":" + (written.serial ? std::to_string(*written.serial) : *written.serials), group.range, ignored);
    if (written.temperature)
        group.setup.temperatureText = FieldText(*written.temperature);
    if (written.profile)
        group.setup.profile = PlanProfile(*written.profile);
    group.toggleEvery = written.toggleEvery;
    if (written.expect)
        group.expectation = PlanExpectation(*written.expect, {group.range});
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
    plan.replay = scenario.replay;
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
    for (const FaultEntry& written : scenario.faults)
        plan.faults.push_back({PlanFault(written), SelectorRanges(written.devices)});
    for (std::size_t i = 0; i < scenario.events.size(); ++i) {
        const EventEntry& written = scenario.events[i];
        TimedAction timed{PlanAction(written), *written.at, written.every.value_or(0), SelectorRanges(written.devices)};
        ReadTable(timed.action.profile, "event[" + std::to_string(i + 1) + "].profile", read, problems);
        plan.actions.push_back(std::move(timed));
    }
    return problems;
}

}  // namespace mimicbox::sim
