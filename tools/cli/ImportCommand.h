// mimicbox-cli import: a packet capture of the server's host turned into a capture, as `record`
// writes it.
#pragma once

#include <string>

namespace mimicbox::cli {

struct ImportOptions {
    std::string pcap;
    std::string portText = "54741";  // as typed
    unsigned port = 54741;
    std::string out;
    bool help = false;
};

bool ParseImportOptions(int argc, const char* const* argv, ImportOptions& options, std::string& error);
std::string ImportUsage();

// The exit status: 0, or 2 with a message when the packet capture cannot be read whole or the
// capture cannot be written.
int RunImportCommand(const ImportOptions& options);

}  // namespace mimicbox::cli
