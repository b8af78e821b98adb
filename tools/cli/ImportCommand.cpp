#include "tools/cli/ImportCommand.h"

#include <CLI/CLI.hpp>
#include <cstdio>

#include "tools/capture/CaptureWriter.h"
#include "tools/capture/PcapImport.h"
#include "tools/options/Arguments.h"
#include "tools/report/Text.h"

namespace mimicbox::cli {

namespace {

constexpr const char* kAbout = "Turns a packet capture (tcpdump -w) taken on the device server's host into a "
                               "capture that Mimicbox replays.\n";

void Describe(CLI::App& app, ImportOptions& options)
{
    app.set_help_flag();
    app.add_option("pcap", options.pcap, "the packet capture")->type_name("CAPTURE.pcap")->required();
    app.add_option("--port", options.portText, "the device server's TCP port (default 54741)")->type_name("N");
    app.add_option("--out", options.out, "the capture to write, JSON Lines")->type_name("CAPTURE.jsonl")->required();
    app.add_flag("--help,-h", options.help, "show this text");
}

}  // namespace

bool ParseImportOptions(int argc, const char* const* argv, ImportOptions& options, std::string& error)
{
    CLI::App app(kAbout, "mimicbox-cli import");
    Describe(app, options);
    if (!options::ParseSubcommand(app, argc, argv, options.help, error))
        return false;
    long long port = 0;
    if (!options.help && !options::ParseWhole(options.portText, 1, 65535, port))
        return options::BadValue(error, options.portText, "--port", "a port from 1 to 65535");
    options.port = static_cast<unsigned>(port);
    return true;
}

std::string ImportUsage()
{
    ImportOptions options;
    CLI::App app(kAbout, "mimicbox-cli import");
    Describe(app, options);
    return options::Usage(app) + "\nThe capture's format and replaying it: record-replay.md in the documentation.\n";
}

int RunImportCommand(const ImportOptions& options)
{
    capture::ImportResult result;
    std::string error;
    capture::CaptureWriter writer;
    if (!capture::ImportPcap(options.pcap, options.port, result, error) || !writer.Open(options.out, result.header, error)) {
        std::fprintf(stderr, "mimicbox-cli import: %s\n", error.c_str());
        return 2;
    }
    uint64_t connections = 0;
    for (capture::CaptureEvent& event : result.events) {
        connections = std::max(connections, event.conn);
        writer.Add(std::move(event));
    }
    if (!writer.Close(error)) {
        std::fprintf(stderr, "mimicbox-cli import: %s\n", error.c_str());
        return 2;
    }
    std::printf("imported %llu connections to port %u from %zu packets into %s", static_cast<unsigned long long>(connections),
                options.port, result.packets, options.out.c_str());
    std::string notes;
    if (result.skipped)
        notes += report::Count(result.skipped, "packet") + " unreadable, skipped";
    if (result.earlier)
        notes += (notes.empty() ? "" : "; ") + report::Count(result.earlier, "packet") +
                 " stamped before the one ahead, given its time";
    std::printf(notes.empty() ? "\n" : " (%s)\n", notes.c_str());
    return 0;
}

}  // namespace mimicbox::cli
