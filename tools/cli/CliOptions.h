// The command line of mimicbox-cli, read with CLI11 into the plant to run and how to show it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/capture/ExactReplay.h"
#include "tools/report/RunIdentity.h"
#include "tools/sim/Plant.h"
#include "tools/sim/Verdict.h"

namespace mimicbox::cli {

struct CliOptions {
    sim::PlantConfig plant;  // the devices of this shard and how they behave
    std::string server = "127.0.0.1";
    unsigned port = 54741;
    std::vector<std::string> sources;  // IPv4 or IPv6 addresses, of one family
    std::optional<uint64_t> seed;      // none: a new seed each run
    std::string logJson;               // JSON Lines of every event; "-" for standard output
    std::string summaryJson;           // the summary as JSON; "-" for standard output
    std::string junit;                 // the verdict as JUnit XML
    std::string report;                // the run as a self-contained HTML file
    std::string commandLine;           // as given, for the report
    std::string scenarioText;          // the scenario file's text, for the report
    report::RunIdentity run;           // the shard and plant; the run's own id is the runner's to give
    std::vector<sim::Expectation> expectations;
    // Exact replay: the capture's connections played byte for byte instead of the plant.
    std::shared_ptr<const capture::ExactReplay> exactReplay;
    std::string controlAddress;        // the live control API's; empty for none
    unsigned controlPort = 0;          // 0 picks a free one
    std::string controlToken;
    std::vector<std::string> controlHosts;  // names the API answers to besides localhost
    std::string dataDir;               // where the control API may read CSV files; none when empty
    std::string io = "auto";           // how records are sent: "auto", "uring" or "epoll"
    bool quiet = false;
    bool verbose = false;  // every expectation's line, not only the failures
    bool fileError = false;  // set with a failed parse whose cause lies in a file (scenario, capture)
    bool help = false;
    bool version = false;
};

// Reads the arguments after the program name, and the scenario file that --scenario names. On a
// usage or scenario error returns false with a message that names the argument, or the file, line,
// column and key; the caller exits with status 2.
bool ParseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error);

// The text of --help.
std::string CliUsage();

}  // namespace mimicbox::cli
