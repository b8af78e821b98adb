#include "tools/server/ServerOptions.h"

#include <CLI/CLI.hpp>

#include "tools/options/Arguments.h"
#include "tools/options/HostPort.h"

namespace mimicbox::server {

namespace {

struct Typed {
    std::string listen = "127.0.0.1";
    std::string port = "54741";
    std::string toggleEvery;
    bool quiet = false;
    bool stats = false;
    bool help = false;
    bool version = false;
};

constexpr const char* kDescription =
    "A reference device server for trying Mimicbox and for tests: it accepts any number of simulated "
    "devices, prints every record they send, decoded, and flags the records it cannot read.\n";

constexpr const char* kFooter =
    "Its first line is 'HH:MM:SS.mmm listening on ADDRESS:PORT', with the port it was given or, for "
    "--port 0, the one it picked. A closed connection's line names the peer and the device.\n\n"
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
    app.add_option("--listen", typed.listen, "IPv4 or IPv6 address to listen on (default 127.0.0.1; :: for every address)")->type_name("ADDRESS")->multi_option_policy(last);
    app.add_option("--port", typed.port, "TCP port (default 54741); 0 picks a free one")->type_name("N")->multi_option_policy(last);
    app.add_option("--toggle-every", typed.toggleEvery, "send a switch toggle to every connected Relay-Box every SECONDS")
        ->type_name("SECONDS")->multi_option_policy(last);
    app.add_flag("--quiet,-q", typed.quiet, "do not print the records received");
    app.add_flag("--stats", typed.stats,
                 "print a line every second: devices connected, records/s, unreadable records and toggles sent so "
                 "far, and for that second the most connects accepted in one 100 ms and the p99 deviation of the "
                 "report periods");
    app.add_flag("--help,-h", typed.help, "show this text");
    app.add_flag("--version", typed.version, "show the version");
    app.footer(kFooter);
}

}  // namespace

bool ParseServerOptions(int argc, const char* const* argv, ServerOptions& options, std::string& error)
{
    Typed typed;
    CLI::App app(kDescription, "mimicbox-server");
    Describe(app, typed);
    if (!options::ParseArguments(app, argc, argv, error))
        return false;
    options.help = typed.help;
    options.version = typed.version;
    if (options.help || options.version)
        return true;
    long long port = 0;
    if (!options::ParseWhole(typed.port, 0, 65535, port))
        return options::BadValue(error, typed.port, "--port", "0 to 65535");
    if (!typed.toggleEvery.empty() &&
        !options::ParseSeconds(typed.toggleEvery, false, options.toggleEverySeconds))
        return options::BadValue(error, typed.toggleEvery, "--toggle-every", "a number of seconds above 0");
    if (!options::ParseAddress(typed.listen, options.listen))
        return options::BadValue(error, typed.listen, "--listen", "an IPv4 or IPv6 address");
    options.port = static_cast<unsigned>(port);
    options.quiet = typed.quiet;
    options.stats = typed.stats;
    return true;
}

std::string ServerUsage()
{
    Typed typed;
    CLI::App app(kDescription, "mimicbox-server");
    Describe(app, typed);
    return options::Usage(app);
}

}  // namespace mimicbox::server
