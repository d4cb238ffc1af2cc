#include "engine/render/rng.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace vornmark {

namespace {

// How many 32-bit outputs `used` has consumed beyond `fresh`, both started from
// the same seed (searches up to `limit`).
int outputs_consumed(Rng used, Rng fresh, int limit = 1000) {
    const std::uint32_t next = used.next_u32();
    for (int n = 0; n <= limit; ++n) {
        Rng probe = fresh;
        if (probe.next_u32() == next) return n;
        fresh.next_u32();
    }
    return -1;
}

}  // namespace

TEST(Rng, MatchesReferenceMersenneTwister) {
    Rng rng(5489);
    EXPECT_EQ(rng.next_u32(), 3499211612u);  // first output of the reference generator
    for (int i = 2; i < 10000; ++i) rng.next_u32();
    EXPECT_EQ(rng.next_u32(), 4123659995u);
}

TEST(Rng, SeedZeroAndLargeSeedsAreValid) {
    Rng zero(0);
    EXPECT_EQ(zero.next_u32(), 2357136044u);
    Rng large(0xFFFFFFFFu);
    Rng other(0xFFFFFFFEu);
    EXPECT_NE(large.next_u32(), other.next_u32());
}

TEST(Rng, NextUnitTakesHighBitsFromSecondDrawAndTop21FromFirst) {
    Rng rng(1234);
    Rng twin(1234);
    for (int i = 0; i < 1000; ++i) {
        const std::uint32_t a = twin.next_u32();
        const std::uint32_t b = twin.next_u32();
        const double expected =
            std::ldexp(static_cast<double>(b), 21 - 53) + std::ldexp(static_cast<double>(a >> 11), -53);
        const double value = rng.next_unit();
        ASSERT_EQ(value, expected) << "draw " << i;
        ASSERT_GE(value, 0.0);
        ASSERT_LT(value, 1.0);
    }
    // Both stay in step: exactly two outputs per value.
    EXPECT_EQ(rng.next_u32(), twin.next_u32());
}

TEST(Rng, NextInRangeScalesOneUnitDraw) {
    Rng rng(77);
    Rng twin(77);
    for (int i = 0; i < 200; ++i) {
        const double u = twin.next_unit();
        EXPECT_EQ(rng.next_in_range(-1.0, 1.0), -1.0 + 2.0 * u);
    }
    EXPECT_EQ(rng.next_u32(), twin.next_u32());
}

TEST(Rng, RandomUnitDirectionConsumesWholeAttemptsAndIsUnitLength) {
    Rng rng(99);
    int rejected_attempts = 0;
    for (int i = 0; i < 300; ++i) {
        const Rng before = rng;
        const Vec3 d = rng.random_unit_direction();
        const int consumed = outputs_consumed(rng, before);
        ASSERT_GT(consumed, 0);
        ASSERT_EQ(consumed % 6, 0) << "call " << i;
        rejected_attempts += consumed / 6 - 1;
        ASSERT_NEAR(length(d), 1.0, 1e-14);
    }
    // About half of all attempts fail; with 300 calls some must have.
    EXPECT_GT(rejected_attempts, 50);
}

TEST(Rng, RandomUnitDirectionDrawsZThenYThenX) {
    Rng rng(5);
    Rng twin(5);
    for (int i = 0; i < 50; ++i) {
        for (;;) {
            const double z = twin.next_in_range(-1.0, 1.0);
            const double y = twin.next_in_range(-1.0, 1.0);
            const double x = twin.next_in_range(-1.0, 1.0);
            const double s = x * x + y * y + z * z;
            if (s >= 1.0) continue;
            const double inv = 1.0 / std::sqrt(s);
            const Vec3 d = rng.random_unit_direction();
            ASSERT_EQ(d.x, x * inv);
            ASSERT_EQ(d.y, y * inv);
            ASSERT_EQ(d.z, z * inv);
            break;
        }
    }
}

}  // namespace vornmark
