// mimicbox-server: a reference device server for trying Mimicbox and for tests.
#include <asio/io_context.hpp>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "tools/io/AsioScheduler.h"
#include "tools/io/AsioServerNetwork.h"
#include "tools/io/DescriptorLimit.h"
#include "tools/io/LineReader.h"
#include "tools/io/StopSignals.h"
#include "tools/server/DeviceServer.h"
#include "tools/server/ServerOptions.h"
#include "tools/server/ServerText.h"

int main(int argc, char* argv[])
{
    using namespace mimicbox;
    // Lines reach a pipe (tee, a test) as they are printed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    server::ServerOptions options;
    std::string error;
    if (!server::ParseServerOptions(argc - 1, argv + 1, options, error)) {
        std::fprintf(stderr, "mimicbox-server: %s\nTry 'mimicbox-server --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(server::ServerUsage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("mimicbox-server %s\n", MIMICBOX_VERSION);
        return 0;
    }
    // As many devices as the system lets one process hold; the listener copes when that runs out.
    io::RaiseDescriptorLimit(0, error);
    asio::io_context context(1);
    io::AsioScheduler scheduler(context);
    io::AsioServerNetwork network(context);
    server::ServerText text(stdout, stderr, options.quiet);
    server::DeviceServer deviceServer(options, scheduler, network, text, [&] { context.stop(); });
    if (!deviceServer.Listen(error)) {
        std::fprintf(stderr, "mimicbox-server: %s\n", error.c_str());
        return 1;
    }
    io::StopSignals signals(context, [&] { deviceServer.Stop(); });
    io::LineReader commands(context, STDIN_FILENO, [&](const std::string& line) { deviceServer.OnCommand(line); });
    context.run();
    return 0;
}
