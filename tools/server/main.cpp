// mimicbox-server: a reference device server for trying Mimicbox and for tests.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "tools/EventLoop.h"
#include "tools/server/DeviceServer.h"
#include "tools/server/ServerOptions.h"

int main(int argc, char* argv[])
{
    // Lines reach a pipe (tee, a test) as they are printed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    mimicbox::ServerOptions options;
    std::string strError;
    if (!mimicbox::ParseServerOptions(argc - 1, argv + 1, options, strError)) {
        std::fprintf(stderr, "mimicbox-server: %s\nTry 'mimicbox-server --help'.\n", strError.c_str());
        return 2;
    }
    if (options.bHelp) {
        std::fputs(mimicbox::ServerUsage().c_str(), stdout);
        return 0;
    }
    mimicbox::EventLoop loop;
    mimicbox::DeviceServer server(options, loop, stdout, stderr);
    if (!server.Listen(strError)) {
        std::fprintf(stderr, "mimicbox-server: %s\n", strError.c_str());
        return 1;
    }
    server.ReadCommandsFrom(STDIN_FILENO);
    loop.Run();
    return 0;
}
