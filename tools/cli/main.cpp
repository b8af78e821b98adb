// mimicbox-cli: simulated devices without a window, for scripts and CI.
#include <algorithm>
#include <cstdio>
#include <string>

#include "tools/cli/CliOptions.h"
#include "tools/cli/ExactRun.h"
#include "tools/cli/ImportCommand.h"
#include "tools/cli/RecordCommand.h"
#include "tools/cli/ReportCommand.h"
#include "tools/cli/Runner.h"

namespace {

// A subcommand: its options, parsed, and either its help or its run.
template <typename Options>
int Subcommand(const char* name, int argc, const char* const* argv,
               bool (*parse)(int, const char* const*, Options&, std::string&), std::string (*usage)(),
               int (*run)(const Options&))
{
    Options options;
    std::string error;
    if (!parse(argc, argv, options, error)) {
        std::fprintf(stderr, "mimicbox-cli %s: %s\nTry 'mimicbox-cli %s --help'.\n", name, error.c_str(), name);
        return 2;
    }
    if (options.help) {
        std::fputs(usage().c_str(), stdout);
        return 0;
    }
    return run(options);
}

}  // namespace

int main(int argc, char* argv[])
{
    using namespace mimicbox;
    // Lines reach a pipe (tee, a test) as they are printed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "report")
        return Subcommand("report", argc - 2, argv + 2, cli::ParseReportOptions, cli::ReportUsage, cli::RunReportCommand);
    if (command == "record")
        return Subcommand("record", argc - 2, argv + 2, cli::ParseRecordOptions, cli::RecordUsage, cli::RunRecordCommand);
    if (command == "import")
        return Subcommand("import", argc - 2, argv + 2, cli::ParseImportOptions, cli::ImportUsage, cli::RunImportCommand);
    cli::CliOptions options;
    std::string error;
    if (!cli::ParseCliOptions(argc - 1, argv + 1, options, error)) {
        // A scenario may hold several faults, one a line.
        for (std::size_t start = 0; start < error.size();) {
            const std::size_t end = std::min(error.find('\n', start), error.size());
            std::fprintf(stderr, "mimicbox-cli: %s\n", error.substr(start, end - start).c_str());
            start = end + 1;
        }
        // The command line's own faults only: --help says nothing of a file's content.
        if (!options.fileError)
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
    if (options.exactReplay)
        return cli::RunExactReplay(options);
    return cli::Runner(std::move(options)).Run();
}
