// The town generator's random numbers.
#pragma once
#include <algorithm>
#include <cstdint>
#include <random>

namespace sim::detail {

// A deterministic stream (std::mt19937's sequence is fixed by the standard; the conversions here are ours).
class TownRandom {
public:
    explicit TownRandom(std::uint32_t seed) : engine_(seed) {}
    double uniform() { return static_cast<double>(engine_() >> 8) * (1.0 / 16777216.0); }
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    bool chance(double p) { return uniform() < p; }
    int pick(int n) { return std::min(n - 1, static_cast<int>(uniform() * n)); }

private:
    std::mt19937 engine_;
};

}  // namespace sim::detail
