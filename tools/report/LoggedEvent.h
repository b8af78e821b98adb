// A line of a --log-json file back as the event it was, so that logs of a run, or of the shards of
// one plant, can be reported on afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/sim/Event.h"

namespace mimicbox::report {

struct LoggedEvent {
    sim::Event event{};     // time and device number are the reader's to set
    double t = 0;           // seconds from the logging run's start
    std::string record;     // the bytes, each code point back to its byte
    std::string reason;
};

// False with the reason when the line is no event of the log's form. The event's record and reason
// point into `logged`, which must stay in place while the event is used.
bool ParseLoggedEvent(std::string_view line, LoggedEvent& logged, std::string& error);

// Milliseconds since 1970 of "2026-12-07T12:34:56.789Z"; false when the text is not of that form or
// lies before 1970, which no run's calendar does.
bool ParseIsoTime(std::string_view text, int64_t& millis);

}  // namespace mimicbox::report
