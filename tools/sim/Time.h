// Time as the simulation sees it: instants on the run's monotonic clock, never read here but handed
// in by the scheduler.
#pragma once

#include <chrono>

namespace mimicbox::sim {

using Nanos = std::chrono::nanoseconds;
using Instant = std::chrono::time_point<std::chrono::steady_clock, Nanos>;

inline Nanos Milliseconds(long long ms) { return std::chrono::milliseconds(ms); }
inline Nanos Seconds(double seconds) { return std::chrono::duration_cast<Nanos>(std::chrono::duration<double>(seconds)); }
inline double ToMilliseconds(Nanos duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

}  // namespace mimicbox::sim
