#include "tools/server/ServerOptions.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace mimicbox {

bool ParseServerOptions(int argc, const char* const* argv, ServerOptions& options, std::string& strError)
{
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.bHelp = true;
            return true;
        }
        if (arg == "--quiet" || arg == "-q") {
            options.bQuiet = true;
            continue;
        }
        if (arg != "--listen" && arg != "--port" && arg != "--toggle-every") {
            strError = "unknown option '" + std::string(arg) + "'";
            return false;
        }
        if (i + 1 >= argc) {
            strError = std::string(arg) + " needs a value";
            return false;
        }
        const std::string_view value = argv[++i];
        const std::string strBad = "bad value '" + std::string(value) + "' for " + std::string(arg);
        if (arg == "--listen") {
            options.strListen = value;
        } else if (arg == "--port") {
            unsigned nPort = 0;
            const auto result = std::from_chars(value.data(), value.data() + value.size(), nPort);
            if (result.ec != std::errc{} || result.ptr != value.data() + value.size() || nPort < 1 || nPort > 65535) {
                strError = strBad + " (1 to 65535)";
                return false;
            }
            options.nPort = nPort;
        } else {
            double fSeconds = 0;
            const auto result = std::from_chars(value.data(), value.data() + value.size(), fSeconds);
            if (result.ec != std::errc{} || result.ptr != value.data() + value.size() || !std::isfinite(fSeconds) ||
                fSeconds <= 0) {
                strError = strBad + " (a number of seconds above 0)";
                return false;
            }
            options.fToggleEverySeconds = fSeconds;
        }
    }
    return true;
}

std::string ServerUsage()
{
    return R"(Usage: mimicbox-server [OPTION]...
A reference device server for trying Mimicbox and for tests: it accepts any number of simulated
devices, prints every record they send, decoded, and flags the records it cannot read.

  --listen ADDRESS       IPv4 address to listen on (default 127.0.0.1)
  --port N               TCP port (default 54741)
  --toggle-every SECONDS send a switch toggle to every connected Relay-Box every SECONDS
  --quiet, -q            do not print the records received
  --help, -h             show this text

Commands typed while it runs:
  t SERIAL               send a switch toggle to the device with that serial number (e.g. t 1005)
  t                      send a switch toggle to every connected Relay-Box
  l                      list the connected devices
  q                      quit

Ctrl-C or SIGTERM closes every connection and ends the server.
)";
}

}  // namespace mimicbox
