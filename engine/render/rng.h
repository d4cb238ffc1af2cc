#pragma once

#include <cmath>
#include <cstdint>

#include "engine/render/vec3.h"

namespace vornmark {

// MT19937 with its state held in the object itself, so a renderer can keep one
// in its own stack frame. Owned by one user at a time; never shared.
class Rng {
public:
    explicit Rng(std::uint32_t seed);

    std::uint32_t next_u32() {
        if (position_ >= state_size) twist();
        std::uint32_t y = state_[position_++];
        y ^= y >> 11;
        y ^= (y << 7) & 0x9D2C5680u;
        y ^= (y << 15) & 0xEFC60000u;
        y ^= y >> 18;
        return y;
    }

    // Uniform in [0, 1) with 53 random bits: the second draw gives the high
    // 32 bits, the top 21 bits of the first draw the low 21 bits.
    double next_unit() {
        const std::uint32_t a = next_u32();
        const std::uint32_t b = next_u32();
        const std::uint64_t k = (std::uint64_t{b} << 21) + (a >> 11);
        return static_cast<double>(static_cast<std::int64_t>(k)) * 1.1102230246251565e-16;
    }

    double next_in_range(double lo, double hi) { return lo + (hi - lo) * next_unit(); }

    // Rejection sampling in the unit ball; components drawn z, then y, then x.
    Vec3 random_unit_direction() {
        for (;;) {
            const double z = next_in_range(-1.0, 1.0);
            const double y = next_in_range(-1.0, 1.0);
            const double x = next_in_range(-1.0, 1.0);
            const double s = x * x + y * y + z * z;
            if (s < 1.0) return Vec3(x, y, z) * (1.0 / std::sqrt(s));
        }
    }

private:
    static constexpr int state_size = 624;

    void twist();

    std::uint32_t state_[state_size];
    int position_;
};

}  // namespace vornmark
