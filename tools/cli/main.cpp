// mimicbox-cli: simulated devices without a window, for scripts and CI.
#include <algorithm>
#include <cstdio>
#include <string>

#include "tools/cli/CliOptions.h"
#include "tools/cli/ReportCommand.h"
#include "tools/cli/Runner.h"

namespace {

int Report(int argc, const char* const* argv)
{
    using namespace mimicbox;
    cli::ReportOptions options;
    std::string error;
    if (!cli::ParseReportOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "mimicbox-cli report: %s\nTry 'mimicbox-cli report --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(cli::ReportUsage().c_str(), stdout);
        return 0;
    }
    return cli::RunReportCommand(options);
}

}  // namespace

int main(int argc, char* argv[])
{
    using namespace mimicbox;
    // Lines reach a pipe (tee, a test) as they are printed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc > 1 && std::string(argv[1]) == "report")
        return Report(argc - 2, argv + 2);
    cli::CliOptions options;
    std::string error;
    if (!cli::ParseCliOptions(argc - 1, argv + 1, options, error)) {
        // A scenario may hold several faults, one a line.
        for (std::size_t start = 0; start < error.size();) {
            const std::size_t end = std::min(error.find('\n', start), error.size());
            std::fprintf(stderr, "mimicbox-cli: %s\n", error.substr(start, end - start).c_str());
            start = end + 1;
        }
        std::fputs("Try 'mimicbox-cli --help'.\n", stderr);
        return 2;
    }
    if (options.help) {
        std::fputs(cli::CliUsage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("mimicbox-cli %s\n", MIMICBOX_VERSION);
        return 0;
    }
    return cli::Runner(std::move(options)).Run();
}
