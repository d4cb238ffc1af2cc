#include "ui/preview_upload.h"

#include "ui/gpu_backend.h"

int upload_preview(PreviewUploads& uploads, const BenchmarkEngine& engine, IGpuBackend& gpu, double now) {
    if (!gpu.has_texture()) return 0;
    const bool running = engine.running;

    // A new run, or a texture of another size: start over from the whole image,
    // which also clears what the previous run left in the texture.
    const bool new_run = engine.run_serial != uploads.run_serial;
    const bool resized = gpu.texture_width() != engine.width || gpu.texture_height() != engine.height;
    if (new_run || resized) {
        uploads.run_serial = engine.run_serial;
        uploads.cursor = 0;
        uploads.plan.clear();
        // Tiles reported before the copy is taken are whole in it.
        uploads.finished.clear();
        engine.tiles_finished_since(uploads.cursor, uploads.finished);
        engine.snapshot_pixels(uploads.pixels);
        gpu.update_texture(uploads.pixels.data(), engine.width, engine.height);
        uploads.last_upload = now;
        return 1;
    }
    if (running && now - uploads.last_upload < PreviewUploads::min_interval) return 0;

    uploads.finished.clear();
    engine.tiles_finished_since(uploads.cursor, uploads.finished);
    if (uploads.finished.empty()) return 0;
    int count = 0;
    if (uploads.plan.empty()) uploads.plan = engine.tile_plan();
    for (const std::int32_t index : uploads.finished) {
        if (index < 0 || static_cast<std::size_t>(index) >= uploads.plan.size()) continue;
        const Tile& tile = uploads.plan[static_cast<std::size_t>(index)];
        engine.snapshot_region(tile, uploads.pixels);
        gpu.update_texture_region(uploads.pixels.data(), tile.x, tile.y, tile.width, tile.height);
        ++count;
    }
    uploads.last_upload = now;
    return count;
}
