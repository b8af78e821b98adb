#include "tools/sim/Backoff.h"

#include <algorithm>

namespace mimicbox::sim {

Nanos BackoffDelay(Nanos base, int attempt, Random& random)
{
    const Nanos cap = std::max(kBackoffCap, base);
    Nanos window = base;
    for (int i = 0; i < attempt && window < cap; ++i)
        window *= 2;
    window = std::min(window, cap);
    return Nanos(static_cast<Nanos::rep>(random.Uniform() * static_cast<double>(window.count())));
}

}  // namespace mimicbox::sim
