// Time as the simulation sees it: instants on the run's monotonic clock, never read here but handed
// in by the scheduler.
#pragma once

#include <chrono>

namespace mimicbox::sim {

using Nanos = std::chrono::nanoseconds;
using Instant = std::chrono::time_point<std::chrono::steady_clock, Nanos>;

inline Nanos Milliseconds(long long ms) { return std::chrono::milliseconds(ms); }
inline Nanos Seconds(double seconds) { return std::chrono::duration_cast<Nanos>(std::chrono::duration<double>(seconds)); }
// The first instant at or after `at` that is a whole multiple of `grid` on the clock.
inline Instant RoundUp(Instant at, Nanos grid)
{
    Nanos rest = at.time_since_epoch() % grid;
    if (rest < Nanos(0))
        rest += grid;
    return rest == Nanos(0) ? at : at + (grid - rest);
}
inline double ToMilliseconds(Nanos duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

}  // namespace mimicbox::sim
