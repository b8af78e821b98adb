// The verdict of a large plant read at a glance: one row per expectation with how many devices held
// it and how many failed, and the failing devices by name, however many devices there are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/sim/Verdict.h"

namespace mimicbox::report {

struct VerdictGroup {
    std::string name;  // "connection kept"
    uint64_t held = 0;
    uint64_t failed = 0;
    // The first failing devices with what was seen of each, at most `listed` of them.
    std::vector<std::pair<std::string, std::string>> failures;
};

// In the order the expectations first appear; failed groups first.
std::vector<VerdictGroup> GroupVerdicts(const std::vector<sim::VerdictResult>& results, std::size_t listed = 100);

// "expectations: 998 held, 2 failed" (nothing without results).
std::string VerdictTally(const std::vector<sim::VerdictResult>& results);

}  // namespace mimicbox::report
