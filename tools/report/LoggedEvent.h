// A line of a --log-json file back as the event it was, so that logs of a run, or of the shards of
// one plant, can be reported on afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/report/RunIdentity.h"
#include "tools/sim/Event.h"

namespace mimicbox::report {

// The longest time a log may carry, in seconds from its run's start: some thirty years, as for a
// capture. Every clock a report runs on holds it.
constexpr double kLongestLogTime = 1e9;

struct LoggedEvent {
    sim::Event event{};     // time and device number are the reader's to set
    double t = 0;           // seconds from the logging run's start
    std::string record;     // the bytes, each code point back to its byte
    std::string reason;
};

// What a line of a log is. Lines that are no JSON object with an "event" are not the log's (a log on
// standard output may be mixed with other text); a line with an "event" that does not read is a
// broken log.
enum class LogLine { kEvent, kRun, kOther, kBroken };

// Reads one line: an event into `logged`, a run line into `run` and `startMillis`; `error` says why
// a line is kOther or kBroken. The event's record and reason point into `logged`, which must stay in
// place while the event is used.
LogLine ReadLogLine(std::string_view line, LoggedEvent& logged, RunIdentity& run, int64_t& startMillis,
                    std::string& error);

// True only for an event line.
bool ParseLoggedEvent(std::string_view line, LoggedEvent& logged, std::string& error);

// Milliseconds since 1970 of "2026-12-07T12:34:56.789Z"; false when the text is not of that form, is
// no date of the calendar, or lies before 1970, which no run's calendar does.
bool ParseIsoTime(std::string_view text, int64_t& millis);

}  // namespace mimicbox::report
