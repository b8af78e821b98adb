// The command line of mimicbox-cli as typed, before any value is checked, and its description for
// CLI11 and --help. Private to the command line's own files.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace mimicbox::cli {

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

// The options, their help and the footer, for CLI11.
void Describe(CLI::App& app, Typed& typed);

// The description of the program, first in --help.
extern const char* const kCliDescription;

}  // namespace mimicbox::cli
