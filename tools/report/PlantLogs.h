// Which logs one report may merge: the shards of one plant, each once, that ran together. Anything
// else is refused with the reason, so that a report never adds up unrelated runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/report/RunIdentity.h"

namespace mimicbox::report {

struct LogSpan {
    std::string path;
    RunIdentity run;
    int64_t startMillis = 0;  // the calendar at the run's start
    int64_t endMillis = 0;    // ... and at its last event
};

// Shards of one plant start seconds apart; a log that began this long after another ended is of
// another run of the plant.
constexpr int64_t kShardStartSlackMillis = 60'000;

// False with the reason when the logs are not shards of one plant, each once, that ran together.
// `missing` names the plant's shards that no log gives, which the report is then without.
bool OnePlant(const std::vector<LogSpan>& logs, std::string& error, std::string& missing);

// "run 3f2a…" for one log, "plant 9c1e…, shards 0-2 of 3" for several: what the report covers.
std::string CoveredRuns(const std::vector<LogSpan>& logs);

}  // namespace mimicbox::report
