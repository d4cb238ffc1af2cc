#include "ui/preview_upload.h"

#include "session/run_controller.h"
#include "ui/gpu_backend.h"

namespace vornmark {

int upload_preview(PreviewUploads& uploads, const RunController& runs, IGpuBackend& gpu, double now) {
    const std::uint32_t serial = runs.run_serial();
    const bool new_run = serial != uploads.run_serial;
    if (new_run) gpu.create_texture(runs.image_width(), runs.image_height());
    if (!gpu.has_texture()) {
        uploads.run_serial = serial;  // no second try for the same run
        return 0;
    }
    const bool running = runs.progress().running;

    // A new run, or a texture of another size: start over from the whole image.
    const bool resized =
        gpu.texture_width() != runs.image_width() || gpu.texture_height() != runs.image_height();
    if (new_run || resized) {
        uploads.run_serial = serial;
        uploads.cursor = 0;
        uploads.plan.clear();
        // Tiles reported before the copy is taken are whole in it.
        uploads.finished.clear();
        runs.tiles_finished_since(uploads.cursor, uploads.finished);
        runs.snapshot_pixels(uploads.pixels);
        gpu.update_texture(uploads.pixels.data(), runs.image_width(), runs.image_height());
        uploads.last_upload = now;
        return 1;
    }
    if (running && now - uploads.last_upload < PreviewUploads::min_interval) return 0;

    uploads.finished.clear();
    runs.tiles_finished_since(uploads.cursor, uploads.finished);
    if (uploads.finished.empty()) return 0;
    int count = 0;
    if (uploads.plan.empty()) uploads.plan = runs.tile_plan();
    for (const std::int32_t index : uploads.finished) {
        if (index < 0 || static_cast<std::size_t>(index) >= uploads.plan.size()) continue;
        const Tile& tile = uploads.plan[static_cast<std::size_t>(index)];
        runs.snapshot_region(tile, uploads.pixels);
        gpu.update_texture_region(uploads.pixels.data(), tile.x, tile.y, tile.width, tile.height);
        ++count;
    }
    uploads.last_upload = now;
    return count;
}

}  // namespace vornmark
