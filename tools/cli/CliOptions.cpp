#include "tools/cli/CliOptions.h"

#include <CLI/CLI.hpp>
#include <arpa/inet.h>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>

#include "core/NumberText.h"
#include "tools/control/LineCommands.h"
#include "tools/options/Arguments.h"
#include "tools/report/Text.h"
#include "tools/scenario/Scenario.h"
#include "tools/sim/DeviceRange.h"

namespace mimicbox::cli {

namespace {

// The options as typed; every value is checked after CLI11 has split the line.
struct Typed {
    std::vector<std::string> devices;
    bool all = false;
    std::string server = "127.0.0.1";
    std::string port = "54741";
    std::string reconnect;
    std::vector<std::string> sources;
    std::string temperature = "0";
    std::string step = "none";
    std::string reports;
    std::string duration;
    std::string rampUp;
    std::string shard = "0/1";
    std::string scenario;
    std::string seed;
    std::string logJson;
    std::string summaryJson;
    std::string junit;
    std::string control;
    std::string controlToken;
    std::string dataDir;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

constexpr const char* kDescription =
    "Simulates Thermo-Box and Relay-Box devices without a window: each device connects to the device "
    "server on its own TCP connection and sends the records the Mimicbox dialog would send.\n";

constexpr const char* kFooter =
    "Thermo-Boxes report every 1500 ms, Relay-Boxes every 500 ms, at fixed deadlines from the moment they "
    "connect. A Relay-Box flips its switch on every switch-toggle record the server sends. Ctrl-C or SIGTERM "
    "stops all devices and closes their connections. On exit a summary per device is printed, with the "
    "lateness of its reports (send time minus deadline) and its missed ticks (reports more than half a period "
    "late, and deadlines skipped), and a line per fault table of the scenario.\n\n"
    "Relay-Boxes: relay:1 to relay:16 are the dialog's numbers and mean relay:1001 to relay:1016; a range "
    "lies within 1-16 or above it (relay:1-16, relay:17-40, relay:1001-6000).\n\n";

constexpr const char* kExitStatus =
    "\nThe documentation (scenarios.md, control-api.md, sharding.md) is in /usr/share/doc/mimicbox when "
    "installed from the package, and in docs/ of the source.\n"
    "\nExit status: 0 on success; 1 when a device never connected, or its connection failed or was lost "
    "(without --reconnect), and no expectation of the scenario covers its connection; 2 on a usage or scenario "
    "error; 3 when an expectation of the scenario did not hold. A device removed through the control API is no "
    "failure.";

void Describe(CLI::App& app, Typed& typed)
{
    using CLI::MultiOptionPolicy;
    const auto last = MultiOptionPolicy::TakeLast;
    app.set_help_flag();
    app.add_option("--device", typed.devices,
                   "thermo:N or relay:N, any serial from 1 to 2147483647, or a range such as thermo:1-5000 or "
                   "relay:1001-6000 (see Relay-Boxes below); may be given many times")
        ->type_name("MODEL:SERIALS")->allow_extra_args(false)->group("Devices");
    app.add_flag("--all", typed.all, "the dialog's 32 devices")->group("Devices");
    app.add_option("--scenario", typed.scenario,
                   "run the scenario of this TOML file (see scenarios.md in the documentation); the options given here override "
                   "what it sets, and --device or --all replace its devices")
        ->type_name("FILE")->multi_option_policy(last)->group("Devices");
    app.add_option("--shard", typed.shard,
                   "run only slice K of N equal slices of the devices, K counted from 0 (default 0/1)")
        ->type_name("K/N")->multi_option_policy(last)->group("Devices");
    app.add_option("--server", typed.server, "host name or IPv4 address of the device server (default 127.0.0.1)")
        ->type_name("HOST")->multi_option_policy(last)->group("Connection");
    app.add_option("--port", typed.port, "its TCP port (default 54741)")->type_name("N")->multi_option_policy(last)->group("Connection");
    app.add_option("--source", typed.sources,
                   "connect from this local IPv4 address; given many times, the devices take turns, so that one "
                   "machine can open more connections than one address has ports")
        ->type_name("ADDRESS")->allow_extra_args(false)->group("Connection");
    app.add_option("--ramp-up", typed.rampUp, "spread the devices' connects evenly over SECONDS (default 0)")
        ->type_name("SECONDS")->multi_option_policy(last)->group("Connection");
    app.add_option("--reconnect", typed.reconnect,
                   "after a failed or lost connection, try again after a random wait of up to SECONDS, doubling "
                   "the window on each failure up to 30 s, instead of ending that device with exit status 1")
        ->type_name("SECONDS")->multi_option_policy(last)->group("Connection");
    app.add_option("--temperature", typed.temperature, "starting temperature, -30 to 150 (default 0)")
        ->type_name("T")->multi_option_policy(last)->group("Thermo-Box");
    app.add_option("--step", typed.step,
                   "change per report: none (default), up (+0.01), up-fast (+0.1), down (-0.01), down-fast (-0.1); "
                   "the temperature stays within -30 to 150")
        ->type_name("MODE")->multi_option_policy(last)->group("Thermo-Box");
    app.add_option("--reports", typed.reports, "stop once every device has sent N reports")
        ->type_name("N")->multi_option_policy(last)->group("Running");
    app.add_option("--duration", typed.duration, "stop after SECONDS")->type_name("SECONDS")->multi_option_policy(last)->group("Running");
    app.add_option("--seed", typed.seed,
                   "the seed of every random choice (reconnect waits, random walks), so that a run can be repeated; "
                   "by default a new one each run")
        ->type_name("N")->multi_option_policy(last)->group("Running");
    app.add_option("--log-json", typed.logJson,
                   "write every event as one JSON object per line to FILE (- for standard output)")
        ->type_name("FILE")->multi_option_policy(last)->group("Running");
    app.add_option("--summary-json", typed.summaryJson, "write the summary as JSON to FILE (- for standard output)")
        ->type_name("FILE")->multi_option_policy(last)->group("Running");
    app.add_option("--junit", typed.junit,
                   "write the verdict on the scenario's expectations as JUnit XML to FILE, one test case per device "
                   "and expectation")
        ->type_name("FILE")->multi_option_policy(last)->group("Running");
    app.add_option("--control", typed.control,
                   "serve the live control API (HTTP/1.1, JSON; see control-api.md in the documentation) on ADDRESS:PORT; port 0 picks "
                   "a free one, and the first line printed is then 'control: http://ADDRESS:PORT'; devices may then be "
                   "added while it runs, so none need be given")
        ->type_name("ADDRESS:PORT")->multi_option_policy(last)->group("Running");
    app.add_option("--control-token", typed.controlToken,
                   "require 'Authorization: Bearer TOKEN' on every control request; needed to serve on any address "
                   "but loopback")
        ->type_name("TOKEN")->multi_option_policy(last)->group("Running");
    app.add_option("--data-dir", typed.dataDir,
                   "let the control API read CSV tables of profiles (\"file\") from FOLDER and nowhere else; without "
                   "it, a table is given inline (\"rows\" or \"csv\")")
        ->type_name("FOLDER")->multi_option_policy(last)->group("Running");
    app.add_flag("--quiet,-q", typed.quiet, "do not print the records sent and received")->group("Running");
    app.add_flag("--help,-h", typed.help, "show this text")->group("Running");
    app.add_flag("--version", typed.version, "show the version")->group("Running");
    app.footer(kFooter + control::LineCommandsHelp() + kExitStatus);
}

using options::BadValue;
using options::ParseSeconds;
using options::ParseWhole;

// The setup of every device of the shard, from the scenario's group that holds it.
std::vector<sim::DeviceSetup> SetupsOf(const std::vector<DeviceIdentity>& devices,
                                       const std::vector<scenario::DeviceGroup>& groups)
{
    std::vector<sim::DeviceSetup> setups;
    setups.reserve(devices.size());
    for (const DeviceIdentity& device : devices) {
        const auto group = std::find_if(groups.begin(), groups.end(),
                                        [&](const scenario::DeviceGroup& candidate) { return candidate.range.Contains(device); });
        setups.push_back(group->setup);
    }
    return setups;
}

bool ReadDevices(const Typed& typed, const scenario::Scenario& file, CliOptions& options, std::string& error)
{
    // Devices on the command line replace the scenario's, with the setup the options give.
    const bool fromFile = typed.devices.empty() && !typed.all && !file.devices.empty();
    if (typed.all && !typed.devices.empty()) {
        error = "--all and --device exclude each other";
        return false;
    }
    std::vector<sim::DeviceRange> ranges = typed.all ? sim::AllDialogDevices() : std::vector<sim::DeviceRange>{};
    if (fromFile) {
        for (const scenario::DeviceGroup& group : file.devices)
            ranges.push_back(group.range);
    }
    for (const std::string& text : typed.devices) {
        sim::DeviceRange range;
        std::string reason;
        if (!sim::ParseDeviceRange(text, range, reason))
            return BadValue(error, text, "--device", reason.c_str());
        ranges.push_back(range);
    }
    // With the control API, devices may come later, by POST /devices.
    if (ranges.empty() && typed.control.empty()) {
        error = "no device given (--device MODEL:SERIALS, --all, a scenario's [[device]], or --control)";
        return false;
    }
    if (!sim::CheckNoOverlap(ranges, error))
        return false;
    std::size_t index = 0;
    std::size_t count = 1;
    std::string reason;
    if (!sim::ParseShard(typed.shard, index, count, reason))
        return BadValue(error, typed.shard, "--shard", reason.c_str());
    const std::size_t total = sim::CountDevices(ranges);
    if (total / count > sim::kMaxDevicesPerProcess) {
        error = std::to_string(total) + " devices in " + std::to_string(count) +
                " shards are too many for one process: at most 1000000 each (--shard K/N)";
        return false;
    }
    options.plant.devices = sim::ShardDevices(ranges, index, count);
    if (fromFile)
        options.plant.setups = SetupsOf(options.plant.devices, file.devices);
    options.plant.faults = file.faults;
    options.plant.actions = file.actions;
    options.expectations = file.expectations;
    return true;
}

// Fills in what the command line leaves out from the scenario.
void TakeFromScenario(const CLI::App& app, const scenario::Scenario& file, Typed& typed)
{
    const auto given = [&](const char* option) { return app.count(option) > 0; };
    if (file.host && !given("--server"))
        typed.server = *file.host;
    if (file.port && !given("--port"))
        typed.port = std::to_string(*file.port);
    if (file.duration && !given("--duration"))
        typed.duration = report::FormatNumber(*file.duration);
    if (file.rampUp && !given("--ramp-up"))
        typed.rampUp = report::FormatNumber(*file.rampUp);
    if (file.reports && !given("--reports"))
        typed.reports = std::to_string(*file.reports);
    if (file.seed && !given("--seed"))
        typed.seed = std::to_string(*file.seed);
}

bool ReadControl(const Typed& typed, CliOptions& options, std::string& error)
{
    const std::size_t colon = typed.control.rfind(':');
    long long port = 0;
    in_addr address{};
    if (colon == std::string::npos || ::inet_pton(AF_INET, typed.control.substr(0, colon).c_str(), &address) != 1 ||
        !ParseWhole(typed.control.substr(colon + 1), 0, 65535, port))
        return BadValue(error, typed.control, "--control", "ADDRESS:PORT, an IPv4 address and a port from 0 to 65535");
    options.controlAddress = typed.control.substr(0, colon);
    options.controlPort = static_cast<unsigned>(port);
    options.controlToken = typed.controlToken;
    if (!typed.dataDir.empty()) {
        std::error_code failure;
        if (!std::filesystem::is_directory(typed.dataDir, failure))
            return BadValue(error, typed.dataDir, "--data-dir", "a folder");
        options.dataDir = typed.dataDir;
    }
    // Only this machine may drive the plant without a token.
    const bool loopback = (ntohl(address.s_addr) >> 24) == 127;
    if (!loopback && options.controlToken.empty()) {
        error = "serving the control API on " + options.controlAddress + " needs --control-token";
        return false;
    }
    return true;
}

bool ReadSettings(const Typed& typed, CliOptions& options, std::string& error)
{
    long long number = 0;
    double seconds = 0;
    float temperature = 0;
    if (typed.server.empty())
        return BadValue(error, typed.server, "--server", "a host name or IPv4 address");
    options.server = typed.server;
    if (!ParseWhole(typed.port, 1, 65535, number))
        return BadValue(error, typed.port, "--port", "1 to 65535");
    options.port = static_cast<unsigned>(number);
    for (const std::string& source : typed.sources) {
        in_addr address{};
        if (::inet_pton(AF_INET, source.c_str(), &address) != 1)
            return BadValue(error, source, "--source", "an IPv4 address of this machine");
    }
    options.sources = typed.sources;
    if (!ParseFloat(typed.temperature, temperature) || !IsTemperatureInRange(temperature))
        return BadValue(error, typed.temperature, "--temperature", "a number from -30 to 150");
    options.plant.temperatureText = typed.temperature;
    if (!sim::ParseStepMode(typed.step, options.plant.stepMode))
        return BadValue(error, typed.step, "--step", "none, up, up-fast, down or down-fast");
    if (!typed.reports.empty() && !ParseWhole(typed.reports, 1, INT64_MAX, number))
        return BadValue(error, typed.reports, "--reports", "a whole number from 1");
    options.plant.policy.reportLimit = typed.reports.empty() ? 0 : static_cast<uint64_t>(number);
    const std::pair<const std::string*, sim::Nanos*> durations[] = {
        {&typed.duration, &options.plant.duration}, {&typed.reconnect, &options.plant.policy.reconnect}};
    for (const auto& [text, target] : durations) {
        if (text->empty())
            continue;
        if (!ParseSeconds(*text, false, seconds))
            return BadValue(error, *text, text == &typed.duration ? "--duration" : "--reconnect", "a number of seconds above 0");
        *target = sim::Seconds(seconds);
    }
    if (!typed.rampUp.empty() && !ParseSeconds(typed.rampUp, true, seconds))
        return BadValue(error, typed.rampUp, "--ramp-up", "a number of seconds, 0 or more");
    options.plant.rampUp = typed.rampUp.empty() ? sim::Nanos(0) : sim::Seconds(seconds);
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
    return true;
}

}  // namespace

bool ParseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error)
{
    Typed typed;
    CLI::App app(kDescription, "mimicbox-cli");
    Describe(app, typed);
    if (!options::ParseArguments(app, argc, argv, error))
        return false;
    options.help = typed.help;
    options.version = typed.version;
    if (typed.help || typed.version)
        return true;
    scenario::Scenario file;
    if (!typed.scenario.empty()) {
        if (!scenario::LoadScenario(typed.scenario, file, error))
            return false;
        TakeFromScenario(app, file, typed);
    }
    return ReadDevices(typed, file, options, error) && ReadSettings(typed, options, error);
}

std::string CliUsage()
{
    Typed typed;
    CLI::App app(kDescription, "mimicbox-cli");
    Describe(app, typed);
    return options::Usage(app);
}

}  // namespace mimicbox::cli
