#include "tools/server/ServerOptions.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cmath>

#include "tools/report/UsageError.h"

namespace mimicbox::server {

namespace {

struct Typed {
    std::string listen = "127.0.0.1";
    std::string port = "54741";
    std::string toggleEvery;
    bool quiet = false;
    bool stats = false;
    bool help = false;
};

constexpr const char* kDescription =
    "A reference device server for trying Mimicbox and for tests: it accepts any number of simulated\n"
    "devices, prints every record they send, decoded, and flags the records it cannot read.";

constexpr const char* kFooter =
    "Commands typed while it runs:\n"
    "  t SERIAL    send a switch toggle to the device with that serial number (e.g. t 1005)\n"
    "  t           send a switch toggle to every connected Relay-Box\n"
    "  l           list the connected devices\n"
    "  q           quit\n\n"
    "Ctrl-C or SIGTERM closes every connection and ends the server.";

void Describe(CLI::App& app, Typed& typed)
{
    const auto last = CLI::MultiOptionPolicy::TakeLast;
    app.set_help_flag();
    app.add_option("--listen", typed.listen, "IPv4 address to listen on (default 127.0.0.1)")->type_name("ADDRESS")->multi_option_policy(last);
    app.add_option("--port", typed.port, "TCP port (default 54741)")->type_name("N")->multi_option_policy(last);
    app.add_option("--toggle-every", typed.toggleEvery, "send a switch toggle to every connected Relay-Box every SECONDS")
        ->type_name("SECONDS")->multi_option_policy(last);
    app.add_flag("--quiet,-q", typed.quiet, "do not print the records received");
    app.add_flag("--stats", typed.stats,
                 "print a line every second: devices connected, records/s, unreadable records and toggles sent so "
                 "far, and for that second the most connects accepted in one 100 ms and the p99 deviation of the "
                 "report periods");
    app.add_flag("--help,-h", typed.help, "show this text");
    app.footer(kFooter);
}

bool Bad(std::string& error, const std::string& value, const char* option, const char* expected)
{
    error = "bad value '" + value + "' for " + option + " (" + expected + ")";
    return false;
}

}  // namespace

bool ParseServerOptions(int argc, const char* const* argv, ServerOptions& options, std::string& error)
{
    Typed typed;
    CLI::App app(kDescription, "mimicbox-server");
    Describe(app, typed);
    std::vector<std::string> args(argv, argv + argc);
    std::reverse(args.begin(), args.end());
    try {
        app.parse(args);
    } catch (const CLI::ParseError& failure) {
        error = report::UsageErrorText(failure, app);
        return false;
    }
    options.help = typed.help;
    if (options.help)
        return true;
    unsigned port = 0;
    const auto portEnd = typed.port.data() + typed.port.size();
    const auto portResult = std::from_chars(typed.port.data(), portEnd, port);
    if (portResult.ec != std::errc{} || portResult.ptr != portEnd || port < 1 || port > 65535)
        return Bad(error, typed.port, "--port", "1 to 65535");
    if (!typed.toggleEvery.empty()) {
        double seconds = 0;
        const auto end = typed.toggleEvery.data() + typed.toggleEvery.size();
        const auto result = std::from_chars(typed.toggleEvery.data(), end, seconds);
        if (result.ec != std::errc{} || result.ptr != end || !std::isfinite(seconds) || seconds <= 0 || seconds > 1e9)
            return Bad(error, typed.toggleEvery, "--toggle-every", "a number of seconds above 0");
        options.toggleEverySeconds = seconds;
    }
    options.listen = typed.listen;
    options.port = port;
    options.quiet = typed.quiet;
    options.stats = typed.stats;
    return true;
}

std::string ServerUsage()
{
    Typed typed;
    CLI::App app(kDescription, "mimicbox-server");
    Describe(app, typed);
    return app.help();
}

}  // namespace mimicbox::server
