// mimicbox-cli: simulated devices without a window, for scripts and CI.
#include <cstdio>
#include <string>

#include "tools/EventLoop.h"
#include "tools/cli/RunOptions.h"
#include "tools/cli/Runner.h"

int main(int argc, char* argv[])
{
    // Lines reach a pipe (tee, a test) as they are printed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    mimicbox::RunOptions options;
    std::string strError;
    if (!mimicbox::ParseRunOptions(argc - 1, argv + 1, options, strError)) {
        std::fprintf(stderr, "mimicbox-cli: %s\nTry 'mimicbox-cli --help'.\n", strError.c_str());
        return 2;
    }
    if (options.bHelp) {
        std::fputs(mimicbox::RunUsage().c_str(), stdout);
        return 0;
    }
    mimicbox::EventLoop loop;
    mimicbox::Runner runner(options, loop, stdout, stderr);
    return runner.Run();
}
