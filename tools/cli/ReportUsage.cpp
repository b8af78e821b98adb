#include <CLI/CLI.hpp>

#include "tools/cli/ReportCommand.h"
#include "tools/options/Arguments.h"

namespace mimicbox::cli {

namespace {

void Describe(CLI::App& app, ReportOptions& options)
{
    app.set_help_flag();
    app.add_option("logs", options.logs, "the --log-json files of the run, or of every shard of one plant")
        ->type_name("LOG.jsonl")->required();
    app.add_option("-o,--out", options.out, "the HTML file to write")->type_name("FILE.html")->required();
    app.add_option("--scenario", options.scenario, "the run's scenario, whose expectations the report judges")
        ->type_name("FILE");
    app.add_flag("--help,-h", options.help, "show this text");
}

}  // namespace

bool ParseReportOptions(int argc, const char* const* argv, ReportOptions& options, std::string& error)
{
    CLI::App app("Makes the self-contained HTML report of a run from its --log-json files.\n", "mimicbox-cli report");
    Describe(app, options);
    options.commandLine = "mimicbox-cli report";
    for (int i = 0; i < argc; ++i)
        options.commandLine += std::string(" ") + argv[i];
    return options::ParseSubcommand(app, argc, argv, options.help, error);
}

std::string ReportUsage()
{
    ReportOptions options;
    CLI::App app("Makes the self-contained HTML report of a run from its --log-json files.\n", "mimicbox-cli report");
    Describe(app, options);
    return options::Usage(app);
}

}  // namespace mimicbox::cli
