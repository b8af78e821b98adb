// The run for machines: one JSON object per event and line (JSON Lines). Times are seconds on the
// run's monotonic clock from `start` ("t"), and the calendar as ISO 8601 UTC ("time"). Record bytes
// are read as Latin-1 and written with \u escapes for everything outside printable ASCII, so that
// any byte a server sends survives: code point N stands for byte N.
#pragma once

#include <cstdio>
#include <string>

#include "tools/sim/Event.h"

namespace mimicbox::report {

class JsonLinesSink : public sim::EventSink {
public:
    // Writes to `out`, which is not owned.
    JsonLinesSink(std::FILE* out, sim::Instant start);

    void OnEvent(const sim::Event& event) override;

    // The line of one event, without its newline.
    std::string Line(const sim::Event& event) const;

private:
    std::FILE* out_;
    sim::Instant start_;
};

// "2026-12-07T12:34:56.789Z" for milliseconds since 1970.
std::string IsoTime(int64_t calendarMillis);

}  // namespace mimicbox::report
