// The command line of mimicbox-cli.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/DeviceModel.h"

namespace mimicbox {

struct RunOptions {
    std::vector<DeviceIdentity> devices;
    std::string strServer = "127.0.0.1";
    unsigned nPort = 54741;
    std::string strTemperature = "0";  // as typed into a temperature field
    int nStepMode = STEP_NONE;
    long nReports = 0;          // reports per device before stopping; 0 for no limit
    double fDurationSeconds = 0;  // 0 for no limit
    double fReconnectSeconds = 0; // 0: a failed or lost connection is final
    bool bQuiet = false;
    bool bHelp = false;
};

// Reads the arguments after the program name. On a usage error returns false with a message that
// names the argument.
bool ParseRunOptions(int argc, const char* const* argv, RunOptions& options, std::string& strError);

// The text of --help.
std::string RunUsage();

// "thermo:3", "relay:1005".
std::string DeviceName(const DeviceIdentity& device);

}  // namespace mimicbox
