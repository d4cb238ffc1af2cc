#pragma once

#include <cstdint>
#include <vector>

#include "engine/benchmark_config.h"

namespace vornmark {

// How much of a run's work its finished tiles hold. A run of the preset image weighs each tile by
// its share of the work (preset_tile_work): the sky at the top is cheap, the big mirror sphere on
// the ground costs several times the mean. Any other image's tiles are unknown and count 1 each.
class RunWork {
public:
    // A new run of config: nothing done yet.
    void begin(const BenchmarkConfig& config);
    // Tiles of that run that have finished since the last call, each exactly once.
    void add_finished(const std::vector<std::int32_t>& tiles);

    // Work done and in all, in mean tiles.
    double done() const { return done_; }
    double total() const { return total_; }
    // Every tile counts by its own work, not as an average tile.
    bool weighted() const { return weighted_; }

private:
    bool weighted_ = false;
    double done_ = 0.0;
    double total_ = 0.0;
};

}  // namespace vornmark
