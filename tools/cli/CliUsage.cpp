#include "tools/cli/TypedOptions.h"

#include <CLI/CLI.hpp>

#include "tools/cli/CliOptions.h"
#include "tools/control/LineCommands.h"
#include "tools/options/Arguments.h"

namespace mimicbox::cli {

namespace {

constexpr const char* kDescriptionText =
    "Simulates Thermo-Box and Relay-Box devices without a window: each device connects to the device "
    "server on its own TCP connection and sends the records the Mimicbox dialog would send.\n";

constexpr const char* kFooter =
    "Thermo-Boxes report every 1500 ms, Relay-Boxes every 500 ms, at fixed deadlines from the moment they "
    "connect. A Relay-Box flips its switch on every switch-toggle record the server sends. Ctrl-C or SIGTERM "
    "stops all devices and closes their connections. On exit a summary per device is printed, with the "
    "lateness of its reports (send time minus deadline) and its missed ticks (reports more than half a period "
    "late, and deadlines skipped), and a line per fault table of the scenario.\n\n"
    "Relay-Boxes: relay:1 to relay:16 are the dialog's numbers and mean relay:1001 to relay:1016; a range "
    "lies within 1-16 or above it (relay:1-16, relay:17-40, relay:1001-6000).\n\n"
    "mimicbox-cli report LOG.jsonl... -o FILE.html [--scenario FILE] makes the HTML report of --report "
    "afterwards from the --log-json files of a run, or of every shard of one plant.\n\n"
    "mimicbox-cli record --listen ADDRESS:PORT --server HOST:PORT --out CAPTURE.jsonl records real devices "
    "through a transparent proxy; mimicbox-cli import CAPTURE.pcap --port N --out CAPTURE.jsonl takes the same "
    "from a tcpdump capture; --replay plays a capture again (record-replay.md).\n\n";

constexpr const char* kExitStatus =
    "\nThe documentation (scenarios.md, control-api.md, sharding.md, record-replay.md, pytest.md) is in /usr/share/doc/mimicbox when "
    "installed from the package, and in docs/ of the source.\n"
    "\nExit status: 0 on success; 1 when a device never connected, or its connection failed or was lost "
    "(without --reconnect), and no expectation of the scenario covers its connection; 2 on a usage or scenario "
    "error; 3 when an expectation of the scenario did not hold. A device removed through the control API is no "
    "failure.";

constexpr auto last = CLI::MultiOptionPolicy::TakeLast;

void DescribeDevices(CLI::App& app, Typed& typed)
{
    app.add_option("--device", typed.devices,
                   "thermo:N or relay:N, any serial from 1 to 2147483647, or a range such as thermo:1-5000 or "
                   "relay:1001-6000 (see Relay-Boxes below); may be given many times")
        ->type_name("MODEL:SERIALS")->allow_extra_args(false)->group("Devices");
    app.add_flag("--all", typed.all, "the dialog's 32 devices")->group("Devices");
    app.add_option("--scenario", typed.scenario,
                   "run the scenario of this TOML file (see scenarios.md in the documentation); the options given here override "
                   "what it sets, and --device or --all replace its devices")
        ->type_name("FILE")->multi_option_policy(last)->group("Devices");
    app.add_option("--replay", typed.replay,
                   "replay the devices of this capture (from mimicbox-cli record or import; see record-replay.md in "
                   "the documentation), as a scenario's [replay] table says or else in values mode")
        ->type_name("CAPTURE.jsonl")->multi_option_policy(last)->group("Devices");
    app.add_option("--shard", typed.shard,
                   "run only slice K of N equal slices of the devices, K counted from 0 (default 0/1)")
        ->type_name("K/N")->multi_option_policy(last)->group("Devices");
    app.add_option("--plant", typed.plant,
                   "the id of the plant the shards make up, written at the start of --log-json so that mimicbox-cli "
                   "report merges only the shards of one run of it (a CI job's id, say); by default the run's own id, "
                   "or with --shard one made from what the shards share: devices, scenario, seed and N")
        ->type_name("ID")->multi_option_policy(last)->group("Devices");
}

void DescribeConnection(CLI::App& app, Typed& typed)
{
    app.add_option("--server", typed.server, "host name, or IPv4 or IPv6 address, of the device server (default 127.0.0.1); looked up once at the "
                   "start, and a name that does not resolve ends the run with status 1")
        ->type_name("HOST")->multi_option_policy(last)->group("Connection");
    app.add_option("--port", typed.port, "its TCP port (default 54741)")->type_name("N")->multi_option_policy(last)->group("Connection");
    app.add_option("--source", typed.sources,
                   "connect from this local IPv4 or IPv6 address; given many times (of one family), the devices take "
                   "turns, so that one machine can open more connections than one address has ports")
        ->type_name("ADDRESS")->allow_extra_args(false)->group("Connection");
    app.add_option("--ramp-up", typed.rampUp, "spread the devices' connects evenly over SECONDS (default 0)")
        ->type_name("SECONDS")->multi_option_policy(last)->group("Connection");
    app.add_option("--reconnect", typed.reconnect,
                   "after a failed or lost connection, try again after a random wait of up to SECONDS, doubling "
                   "the window on each failure up to 30 s, instead of ending that device with exit status 1")
        ->type_name("SECONDS")->multi_option_policy(last)->group("Connection");
    app.add_option("--io", typed.io,
                   "how records are sent: uring sends those due in one wake-up in one io_uring submission, epoll one "
                   "send() each, auto (the default) uring where the system allows it; a line on standard error at the start "
                   "says which is in use (environment: MIMICBOX_IO)")
        ->type_name("auto|uring|epoll")->envname("MIMICBOX_IO")
        ->multi_option_policy(last)->group("Connection");
}

void DescribeThermo(CLI::App& app, Typed& typed)
{
    app.add_option("--temperature", typed.temperature, "starting temperature, -30 to 150 (default 0)")
        ->type_name("T")->multi_option_policy(last)->group("Thermo-Box");
    app.add_option("--step", typed.step,
                   "change per report: none (default), up (+0.01), up-fast (+0.1), down (-0.01), down-fast (-0.1); "
                   "the temperature stays within -30 to 150")
        ->type_name("MODE")->multi_option_policy(last)->group("Thermo-Box");
}

void DescribeRun(CLI::App& app, Typed& typed)
{
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
}

void DescribeControl(CLI::App& app, Typed& typed)
{
    app.add_option("--report", typed.report,
                   "write the run as one self-contained HTML file at its end: charts over time, the devices, "
                   "faults, events and the verdict (mimicbox-cli report makes the same from --log-json files)")
        ->type_name("FILE")->multi_option_policy(last)->group("Running");
    app.add_option("--control", typed.control,
                   "serve the live control API (HTTP/1.1, JSON; see control-api.md in the documentation) and the dashboard "
                   "on ADDRESS:PORT ([ADDRESS]:PORT for IPv6); port 0 picks a free one, and the first lines printed are then 'control: "
                   "http://ADDRESS:PORT' and 'dashboard: http://ADDRESS:PORT/'; devices may then be added while it runs, "
                   "so none need be given")
        ->type_name("ADDRESS:PORT")->multi_option_policy(last)->group("Running");
    app.add_option("--control-token", typed.controlToken,
                   "require 'Authorization: Bearer TOKEN' on every control request; needed to serve on any address "
                   "but loopback")
        ->type_name("TOKEN")->multi_option_policy(last)->group("Running");
    app.add_option("--control-host", typed.controlHosts,
                   "a name the control API answers to besides localhost and IP addresses (others get 403, "
                   "against DNS rebinding); may be given many times")
        ->type_name("NAME")->allow_extra_args(false)->group("Running");
    app.add_option("--data-dir", typed.dataDir,
                   "let the control API read CSV tables of profiles (\"file\") from FOLDER and nowhere else; without "
                   "it, a table is given inline (\"rows\" or \"csv\")")
        ->type_name("FOLDER")->multi_option_policy(last)->group("Running");
}

void Describe(CLI::App& app, Typed& typed)
{
    app.set_help_flag();
    DescribeDevices(app, typed);
    DescribeConnection(app, typed);
    DescribeThermo(app, typed);
    DescribeRun(app, typed);
    DescribeControl(app, typed);
    app.add_flag("--quiet,-q", typed.quiet, "do not print the records sent and received")->group("Running");
    app.add_flag("--verbose,-v", typed.verbose,
                 "print every expectation that held, too, not only the failures and the tally")->group("Running");
    app.add_flag("--help,-h", typed.help, "show this text")->group("Running");
    app.add_flag("--version", typed.version, "show the version")->group("Running");
    app.footer(kFooter + control::LineCommandsHelp() + kExitStatus);
}

}  // namespace

bool ReadCommandLine(int argc, const char* const* argv, Typed& typed, std::string& error)
{
    CLI::App app(kDescriptionText, "mimicbox-cli");
    Describe(app, typed);
    if (!options::ParseArguments(app, argc, argv, error))
        return false;
    for (const CLI::Option* option : app.get_options()) {
        if (option->count() > 0)
            typed.given.insert(option->get_name());
    }
    return true;
}

std::string CliUsage()
{
    Typed typed;
    CLI::App app(kDescriptionText, "mimicbox-cli");
    Describe(app, typed);
    return options::Usage(app);
}

}  // namespace mimicbox::cli
