// A small seeded random source (SplitMix64): eight bytes of state, so that every device of a large
// plant can own one, and the same seed gives the same numbers on every run.
#pragma once

#include <cstdint>

namespace mimicbox::sim {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}

    uint64_t Next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

private:
    uint64_t state_;
};

}  // namespace mimicbox::sim
