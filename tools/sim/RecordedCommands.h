// What a recorded server sent each device, and the comparison of a new server's commands with it,
// record for record: the same bytes, each within a tolerance of its recorded time.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mimicbox::sim {

struct TimedRecord {
    double seconds = 0;  // since the device first connected, at the replay's speed
    std::string record;  // without its NUL
};

// By device name ("relay:1005").
using RecordedCommands = std::map<std::string, std::vector<TimedRecord>>;

// The first record that differs, described; nothing when every record matches.
std::optional<std::string> FirstDifference(const std::vector<TimedRecord>& recorded, const std::vector<TimedRecord>& seen,
                                           double tolerance);

}  // namespace mimicbox::sim
