#pragma once

#include <cstdint>
#include <vector>

namespace vornmark::app {

// The window icon, drawn here rather than loaded: a teal sphere lit from the upper
// left with a small orange one in front, on a dark rounded square. RGBA bytes,
// size x size pixels, rows top to bottom.
std::vector<std::uint8_t> draw_window_icon(int size);

}  // namespace vornmark::app
