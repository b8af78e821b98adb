// Which run a log belongs to: its own id, the id of the plant its shards share, and its shard. The
// first line of every --log-json file says so, and `report` merges only the shards of one plant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mimicbox::report {

struct RunIdentity {
    std::string run;         // new for every run
    std::string plant;       // the same for every shard of one plant
    std::size_t shard = 0;   // K of --shard K/N
    std::size_t shards = 1;  // N

    std::string ShardText() const { return std::to_string(shard) + "/" + std::to_string(shards); }
};

// {"t":0,"time":"…","event":"run","run":"…","plant":"…","shard":"K/N"}: the log's first line, at the
// run's start.
std::string RunLine(const RunIdentity& identity, int64_t startMillis);

// Whether a plant id may be written as given: 1 to 64 letters, digits, '.', '_' or '-'.
bool IsPlantId(const std::string& text);

}  // namespace mimicbox::report
