// How long a device waits before its next connection attempt: exponential backoff with full jitter,
// so that a plant whose server restarts comes back spread out instead of in one burst.
#pragma once

#include "tools/sim/Random.h"
#include "tools/sim/Time.h"

namespace mimicbox::sim {

constexpr Nanos kBackoffCap = std::chrono::seconds(30);

// A delay drawn uniformly from [0, min(cap, base * 2^attempt)]; attempt counts from 0. A base above
// the cap is its own cap.
Nanos BackoffDelay(Nanos base, int attempt, Random& random);

}  // namespace mimicbox::sim
