// mimicbox-cli report LOG.jsonl... -o FILE.html: the HTML report of a run made afterwards from its
// --log-json files. The logs of the shards of one plant are merged on the calendar into one run, with
// one verdict when the scenario is given.
#pragma once

#include <string>
#include <vector>

namespace mimicbox::cli {

struct ReportOptions {
    std::vector<std::string> logs;
    std::string out;
    std::string scenario;  // its expectations judge the logged events; optional
    std::string commandLine;  // as given, for the report
    bool help = false;
};

// Reads the arguments after "report"; false with the usage error.
bool ParseReportOptions(int argc, const char* const* argv, ReportOptions& options, std::string& error);
std::string ReportUsage();

// Writes the report; the exit status: 0, or 2 when a log or the scenario cannot be read, a log holds
// no event or an impossible one, or the logs are not the shards of one plant, each once, with the
// message on standard error.
int RunReportCommand(const ReportOptions& options);

}  // namespace mimicbox::cli
