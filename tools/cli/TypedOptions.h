// The command line of mimicbox-cli as typed, before any value is checked. Private to the command
// line's own files.
#pragma once

#include <set>
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
    std::string plant;
    std::string scenario;
    std::string replay;
    std::string seed;
    std::string logJson;
    std::string summaryJson;
    std::string junit;
    std::string report;
    std::string control;
    std::string controlToken;
    std::vector<std::string> controlHosts;
    std::string dataDir;
    std::string io = "auto";
    bool quiet = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    std::set<std::string> given;  // the options the command line names, such as "--port"
};

// Splits the arguments after the program name into `typed`; false with the usage error. The only
// place that sees CLI11, which is slow to compile.
bool ReadCommandLine(int argc, const char* const* argv, Typed& typed, std::string& error);

}  // namespace mimicbox::cli
