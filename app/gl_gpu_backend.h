#pragma once

#include <cstdint>

#include "ui/gpu_backend.h"

namespace vornmark::app {

// The OpenGL side of the window: holds the preview texture that the panels draw.
// All calls need the window's GL context current on the calling (GUI) thread.
class GlGpuBackend : public IGpuBackend {
public:
    GlGpuBackend() = default;
    // Releases nothing: the shell calls release() while the context still exists.
    ~GlGpuBackend() override = default;
    GlGpuBackend(const GlGpuBackend&) = delete;
    GlGpuBackend& operator=(const GlGpuBackend&) = delete;

    void create_texture(std::int32_t width, std::int32_t height) override;
    void update_texture(const std::uint8_t* pixels, std::int32_t width, std::int32_t height) override;
    void update_texture_region(const std::uint8_t* pixels, std::int32_t x, std::int32_t y, std::int32_t width,
                               std::int32_t height) override;
    ImTextureID texture_id() const override;
    bool has_texture() const override;
    std::int32_t texture_width() const override;
    std::int32_t texture_height() const override;
    // A scissored glClear, run as a draw callback.
    void add_opaque_fill(ImDrawList& list, ImVec2 min, ImVec2 max, ImU32 colour) override;

    // Deletes the preview texture; has_texture() is false afterwards.
    void release();

private:
    unsigned int preview_texture = 0;  // GL texture name, 0 when there is none
    std::int32_t width = 0;            // size as last created successfully
    std::int32_t height = 0;
};

}  // namespace vornmark::app
