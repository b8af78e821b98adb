// The run as a terminal shows it: every record sent (->) and received (<-) with the time and the
// device, connections, and on the error stream every failed or lost connection.
#pragma once

#include <cstdio>
#include <string>

#include "tools/sim/Event.h"

namespace mimicbox::report {

class TextSink : public sim::EventSink {
public:
    // Writes to `out` and `err`, which are not owned. With `quiet` only the failures are written.
    TextSink(std::FILE* out, std::FILE* err, std::string server, bool quiet);

    void OnEvent(const sim::Event& event) override;

private:
    std::FILE* out_;
    std::FILE* err_;
    std::string server_;
    bool quiet_;
};

}  // namespace mimicbox::report
