// mimicbox-cli record: a transparent proxy between real devices and their server that records what
// passes into a capture.
#pragma once

#include <string>

namespace mimicbox::cli {

struct RecordOptions {
    std::string listen;  // ADDRESS:PORT
    std::string server;  // HOST:PORT
    std::string out;
    std::string durationText;  // as typed
    double duration = 0;       // 0: until SIGINT or SIGTERM
    bool help = false;
};

bool ParseRecordOptions(int argc, const char* const* argv, RecordOptions& options, std::string& error);
std::string RecordUsage();

// Records until stopped; the exit status: 0, 1 when the capture could not be written whole, 2 when
// an address cannot be used or the file cannot be created.
int RunRecordCommand(const RecordOptions& options);

}  // namespace mimicbox::cli
