#pragma once

#include <cstdint>

namespace vornmark {

// The benchmark's fixed settings: every recorded run renders this image. Only the worker count
// differs between the single-core and the multi-core preset.
inline constexpr std::int32_t preset_width = 1920;
inline constexpr std::int32_t preset_height = 1080;
inline constexpr std::int32_t preset_samples = 128;
inline constexpr std::int32_t preset_max_depth = 50;
inline constexpr std::int32_t preset_tile_size = 32;

}  // namespace vornmark
