// The command line of mimicbox-server, read with CLI11.
#pragma once

#include <string>

namespace mimicbox::server {

struct ServerOptions {
    std::string listen = "127.0.0.1";
    unsigned port = 54741;  // 0 picks a free one
    double toggleEverySeconds = 0;  // 0: toggles only on request
    bool quiet = false;
    bool stats = false;
    bool help = false;
    bool version = false;
};

// Reads the arguments after the program name; false with a message that names the argument on a
// usage error, for which the caller exits with status 2.
bool ParseServerOptions(int argc, const char* const* argv, ServerOptions& options, std::string& error);

std::string ServerUsage();

}  // namespace mimicbox::server
