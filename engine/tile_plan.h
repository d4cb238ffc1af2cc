#pragma once

#include <cstdint>
#include <vector>

#include "engine/benchmark_config.h"
#include "engine/render/render_tile.h"

namespace vornmark {

// Where a tile is in its run; only the engine's tile job changes it after planning.
enum class TileState : std::int32_t { Pending = 0, Rendering = 1, Done = 2 };

struct Tile {
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
    std::int32_t index;
    TileState state;
    std::int32_t worker = -1;      // the pool worker that rendered it, -1 until one took it
    std::int64_t finished_ns = 0;  // steady-clock reading when its render finished; 0 until then

    PixelRect area() const { return {x, y, width, height}; }
};

// Test seam for injecting a fault: called on the worker right after a tile has been
// rendered, before it counts as finished; pixels is the whole image the tile lies in.
using TileHook = void (*)(void* context, const Tile& tile, std::uint8_t* pixels, std::int32_t image_width);

// Called on the run thread just outside the timed span: at its start (before the clock is read)
// and at its end (after), with that reading; `begins` tells which. For a program that samples what
// else the machine did during a run.
using SpanHook = void (*)(void* context, bool begins, std::int64_t steady_ns);

// Row-major square tiles of config.tile_size, clipped at the right and bottom
// edges; tile i has index i. Expects tile_size >= 1.
std::vector<Tile> plan_tiles(const BenchmarkConfig& config);

}  // namespace vornmark
