// One point of the run's series over time: what the plant did in a span of whole seconds (one
// second, or more once the point is old and merged with its neighbours).
#pragma once

#include <array>
#include <cstdint>

#include "tools/sim/Fault.h"

namespace mimicbox::report {

inline constexpr std::size_t kFaultKindCount = static_cast<std::size_t>(sim::FaultKind::kOutOfRange) + 1;

struct SeriesPoint {
    uint32_t second = 0;     // the span's first second, counted from the run's start
    uint32_t width = 1;      // seconds in the span
    uint32_t connected = 0;  // devices connected at the span's end
    uint32_t sent = 0;
    uint32_t commands = 0;   // records received from the server
    uint32_t disconnects = 0;
    uint32_t reconnects = 0;  // connects of a device that had been connected before
    // Lateness of the span's reports in milliseconds. A merged point keeps the largest p99 and max
    // of its parts and their p50s' mean weighted by reports: coarse, but never better than it was.
    float p50 = 0;
    float p99 = 0;
    float max = 0;
    std::array<uint32_t, kFaultKindCount> faults{};
};

// `later` folded into `earlier`, the span that directly precedes it.
SeriesPoint Merge(const SeriesPoint& earlier, const SeriesPoint& later);

}  // namespace mimicbox::report
