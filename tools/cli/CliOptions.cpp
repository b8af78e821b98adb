#include "tools/cli/CliOptions.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "tools/cli/CommandLineScenario.h"
#include "tools/cli/ReplayPlan.h"
#include "tools/cli/TypedOptions.h"
#include "tools/options/Arguments.h"
#include "tools/options/HostPort.h"
#include "tools/scenario/Scenario.h"
#include "tools/sim/DeviceRange.h"

namespace mimicbox::cli {

namespace {

using options::BadValue;

// The setup of every device of the shard, from the group that holds it.
std::vector<sim::DeviceSetup> SetupsOf(const std::vector<DeviceIdentity>& devices, const std::vector<sim::DeviceGroup>& groups)
{
    std::vector<sim::DeviceSetup> setups;
    setups.reserve(devices.size());
    for (const DeviceIdentity& device : devices) {
        const auto group = std::find_if(groups.begin(), groups.end(),
                                        [&](const sim::DeviceGroup& candidate) { return candidate.range.Contains(device); });
        setups.push_back(group->setup);
    }
    return setups;
}

// The scenario the command line gives, checked by the scenario's rules.
bool PlanCommandLine(const Typed& typed, sim::ScenarioPlan& plan, std::string& error)
{
    sim::Scenario given;
    if (!CommandLineScenario(typed, given, error))
        return false;
    const sim::Problems problems = sim::Validate(given);
    if (!problems.empty()) {
        error = UsageOf(typed, problems.front());
        return false;
    }
    sim::PlanScenario(given, {}, plan);
    return true;
}

// The file's plan with what the command line gives in its place: its values, and its devices
// instead of the file's.
void Override(const Typed& typed, const sim::ScenarioPlan& given, sim::ScenarioPlan& plan)
{
    plan.host = given.host ? given.host : plan.host;
    plan.port = given.port ? given.port : plan.port;
    plan.duration = given.duration ? given.duration : plan.duration;
    plan.rampUp = given.rampUp ? given.rampUp : plan.rampUp;
    plan.reports = given.reports ? given.reports : plan.reports;
    if (typed.all || !typed.devices.empty())
        plan.devices = given.devices;
}

bool TakeDevices(const Typed& typed, const sim::ScenarioPlan& plan, CliOptions& options, std::string& error)
{
    std::vector<sim::DeviceRange> ranges;
    for (const sim::DeviceGroup& group : plan.devices)
        ranges.push_back(group.range);
    // With the control API, devices may come later, by POST /devices.
    if (ranges.empty() && typed.control.empty()) {
        error = "no device given (--device MODEL:SERIALS, --all, a scenario's [[device]], or --control)";
        return false;
    }
    std::size_t index = 0;
    std::size_t count = 1;
    std::string reason;
    if (!sim::ParseShard(typed.shard, index, count, reason))
        return BadValue(error, typed.shard, "--shard", reason);
    const std::size_t total = sim::CountDevices(ranges);
    if (total / count > sim::kMaxDevicesPerProcess) {
        error = std::to_string(total) + " devices in " + std::to_string(count) +
                " shards are too many for one process: at most 1000000 each (--shard K/N)";
        return false;
    }
    options.run.shard = index;
    options.run.shards = count;
    options.plant.devices = sim::ShardDevices(ranges, index, count);
    options.plant.setups = SetupsOf(options.plant.devices, plan.devices);
    options.plant.faults = plan.faults;
    options.plant.actions = plan.actions;
    options.expectations = plan.expectations;
    options.server = plan.host.value_or(options.server);
    options.port = plan.port.value_or(options.port);
    options.plant.duration = plan.duration ? sim::Seconds(*plan.duration) : sim::Nanos(0);
    options.plant.rampUp = plan.rampUp ? sim::Seconds(*plan.rampUp) : sim::Nanos(0);
    options.plant.policy.reportLimit = plan.reports.value_or(0);
    options.seed = plan.seed;
    return true;
}

bool ReadControl(const Typed& typed, CliOptions& options, std::string& error)
{
    if (!options::ParseHostPort(typed.control, true, 0, options.controlAddress, options.controlPort))
        return BadValue(error, typed.control, "--control",
                        "ADDRESS:PORT, an IPv4 address or [an IPv6 one] and a port from 0 to 65535");
    options.controlToken = typed.controlToken;
    options.controlHosts = typed.controlHosts;
    // The token also travels as a cookie, whose value takes no space, quote, comma, semicolon or
    // backslash.
    const auto cookieSafe = [](char c) { return c > 0x20 && c < 0x7f && c != '"' && c != ',' && c != ';' && c != '\\'; };
    if (!std::all_of(options.controlToken.begin(), options.controlToken.end(), cookieSafe))
        return BadValue(error, options.controlToken, "--control-token",
                        "printable ASCII without space, quote, comma, semicolon or backslash");
    if (!typed.dataDir.empty()) {
        std::error_code failure;
        if (!std::filesystem::is_directory(typed.dataDir, failure))
            return BadValue(error, typed.dataDir, "--data-dir", "a folder");
        options.dataDir = typed.dataDir;
    }
    // Only this machine may drive the plant without a token.
    if (!options::IsLoopback(options.controlAddress) && options.controlToken.empty()) {
        error = "serving the control API on " + options.controlAddress + " needs --control-token";
        return false;
    }
    return true;
}

// Shards of one plant are given the same devices, scenario, seed and count: without --plant their
// plant's id is made from these (FNV-1a), so that each shard finds the same one by itself.
std::string DerivedPlantId(const Typed& typed, const CliOptions& options)
{
    std::string shared = options.scenarioText + '\0' + (typed.all ? "all" : "") + '\0' + typed.seed + '\0' +
                         std::to_string(options.run.shards);
    for (const std::string& device : typed.devices)
        shared += '\0' + device;
    uint64_t hash = 14695981039346656037ull;
    for (const char c : shared)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

bool ReadPlant(const Typed& typed, CliOptions& options, std::string& error)
{
    if (!typed.plant.empty() && !report::IsPlantId(typed.plant))
        return BadValue(error, typed.plant, "--plant", "1 to 64 letters, digits, '.', '_' or '-'");
    options.run.plant = !typed.plant.empty() ? typed.plant : options.run.shards > 1 ? DerivedPlantId(typed, options) : "";
    return true;
}

// What only the command line says: how to connect, reconnect and report, and the seed.
bool ReadSettings(const Typed& typed, CliOptions& options, std::string& error)
{
    options.server = options::Unbracketed(options.server);
    if (options.server.empty())
        return BadValue(error, options.server, "--server", "a host name, or an IPv4 or IPv6 address");
    for (const std::string& source : typed.sources) {
        std::string address;
        if (!options::ParseAddress(source, address))
            return BadValue(error, source, "--source", "an IPv4 or IPv6 address of this machine");
        options.sources.push_back(address);
    }
    double seconds = 0;
    if (!typed.reconnect.empty() && !options::ParseSeconds(typed.reconnect, false, seconds))
        return BadValue(error, typed.reconnect, "--reconnect", "a number of seconds above 0");
    options.plant.policy.reconnect = typed.reconnect.empty() ? sim::Nanos(0) : sim::Seconds(seconds);
    unsigned long long seed = 0;
    if (!typed.seed.empty()) {
        const auto result = std::from_chars(typed.seed.data(), typed.seed.data() + typed.seed.size(), seed);
        if (result.ec != std::errc{} || result.ptr != typed.seed.data() + typed.seed.size())
            return BadValue(error, typed.seed, "--seed", "a whole number from 0 to 18446744073709551615");
        options.seed = seed;
    }
    options.logJson = typed.logJson;
    options.summaryJson = typed.summaryJson;
    options.junit = typed.junit;
    if (!typed.dataDir.empty() && typed.control.empty()) {
        error = "--data-dir is for the control API: give --control too";
        return false;
    }
    if (!typed.control.empty() && !ReadControl(typed, options, error))
        return false;
    options.quiet = typed.quiet;
    options.verbose = typed.verbose;
    if (typed.io != "auto" && typed.io != "uring" && typed.io != "epoll")
        return BadValue(error, typed.io, "--io", "must be auto, uring or epoll");
    options.io = typed.io;
    return true;
}

}  // namespace

bool ParseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error)
{
    Typed typed;
    if (!ReadCommandLine(argc, argv, typed, error))
        return false;
    options.help = typed.help;
    options.version = typed.version;
    if (typed.help || typed.version)
        return true;
    sim::ScenarioPlan plan;
    if (!typed.scenario.empty()) {
        scenario::ScenarioFile file;
        if (!scenario::ReadScenarioFile(typed.scenario, file, error) || !scenario::PlanScenarioFile(file, plan, error))
            return (options.fileError = true), false;
        options.scenarioText = std::move(file.text);
    }
    options.commandLine = "mimicbox-cli";
    for (int i = 0; i < argc; ++i)
        options.commandLine += std::string(" ") + argv[i];
    options.report = typed.report;
    sim::ScenarioPlan given;
    if (!PlanCommandLine(typed, given, error))
        return false;
    Override(typed, given, plan);
    if (!ApplyReplay(typed.replay, typed.scenario, plan, options, error))
        return (options.fileError = true), false;
    // An exact replay plays the capture's connections, not devices.
    if (options.exactReplay) {
        options.plant.duration = plan.duration ? sim::Seconds(*plan.duration) : sim::Nanos(0);
        options.server = plan.host.value_or(options.server);
        options.port = plan.port.value_or(options.port);
        return ReadSettings(typed, options, error);
    }
    return TakeDevices(typed, plan, options, error) && ReadSettings(typed, options, error) &&
           ReadPlant(typed, options, error);
}

}  // namespace mimicbox::cli
