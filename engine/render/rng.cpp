#include "engine/render/rng.h"

namespace vornmark {

namespace {

constexpr int shift_size = 397;
constexpr std::uint32_t matrix_a = 0x9908B0DFu;
constexpr std::uint32_t upper_mask = 0x80000000u;
constexpr std::uint32_t lower_mask = 0x7FFFFFFFu;

}  // namespace

Rng::Rng(std::uint32_t seed) {
    state_[0] = seed;
    for (int i = 1; i < state_size; ++i) {
        const std::uint32_t prev = state_[i - 1];
        state_[i] = 1812433253u * (prev ^ (prev >> 30)) + static_cast<std::uint32_t>(i);
    }
    // The first draw twists the whole state before it outputs.
    position_ = state_size;
}

void Rng::twist() {
    const auto mix = [](std::uint32_t upper, std::uint32_t lower, std::uint32_t far) {
        const std::uint32_t y = (upper & upper_mask) | (lower & lower_mask);
        return far ^ (y >> 1) ^ ((y & 1u) ? matrix_a : 0u);
    };
    // Split in three runs so that no index needs a modulo.
    int i = 0;
    for (; i < state_size - shift_size; ++i)
        state_[i] = mix(state_[i], state_[i + 1], state_[i + shift_size]);
    for (; i < state_size - 1; ++i)
        state_[i] = mix(state_[i], state_[i + 1], state_[i + shift_size - state_size]);
    state_[state_size - 1] = mix(state_[state_size - 1], state_[0], state_[shift_size - 1]);
    position_ = 0;
}

}  // namespace vornmark
