#pragma once

#include <cstdint>
#include <vector>

#include "engine/tile_plan.h"

namespace vornmark {

class IGpuBackend;
class RunController;

// Keeps the preview texture in step with the runs at little cost: a fresh texture
// for each run, filled once with the whole (empty) image, then only the tiles
// finished since the last upload, at most 30 times a second while the run is
// going. Tiles that finish at the end are uploaded by the first call after the
// run, so the finished image is complete. Before the first run there is no texture.
struct PreviewUploads {
    static constexpr double min_interval = 1.0 / 30.0;

    std::uint32_t run_serial = 0;  // the run the texture shows
    std::int32_t cursor = 0;       // tiles of that run already uploaded
    double last_upload = -1.0e30;  // seconds, of the caller's clock
    std::vector<Tile> plan;        // that run's plan, fetched once
    std::vector<std::int32_t> finished;
    std::vector<std::uint8_t> pixels;  // reused copy of one tile or the whole image
};

// One step, called every frame on the GUI thread with the current time in
// seconds. Returns the number of texture uploads it made.
int upload_preview(PreviewUploads& uploads, const RunController& runs, IGpuBackend& gpu, double now);

}  // namespace vornmark
