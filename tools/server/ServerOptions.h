// The command line of mimicbox-server.
#pragma once

#include <string>

namespace mimicbox {

struct ServerOptions {
    std::string strListen = "127.0.0.1";
    unsigned nPort = 54741;
    double fToggleEverySeconds = 0;  // 0: toggles only on request
    bool bQuiet = false;
    bool bHelp = false;
};

// Reads the arguments after the program name; false with a message on a usage error.
bool ParseServerOptions(int argc, const char* const* argv, ServerOptions& options, std::string& strError);

std::string ServerUsage();

}  // namespace mimicbox
