#pragma once

#include <d3d11.h>
#include <dxgi.h>

#include <cstdint>

#include "ui/gpu_backend.h"

namespace vornmark::app {

// The Direct3D 11 device objects of the window and the preview texture on them. The shell
// creates the device, context, swap chain and render target view and releases everything at
// shutdown (release_device_objects); the panels see only IGpuBackend.
class Dx11GpuBackend : public IGpuBackend {
public:
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    IDXGISwapChain* swap_chain = nullptr;
    ID3D11RenderTargetView* render_target_view = nullptr;
    ID3D11Texture2D* preview_texture = nullptr;
    ID3D11ShaderResourceView* preview_view = nullptr;

    // Releases nothing: the shell releases the objects in its shutdown order.
    ~Dx11GpuBackend() override = default;

    // R8G8B8A8_UNORM, one mip level, default usage, shader resource only, no initial data.
    // A failed creation leaves has_texture() false and the recorded size as it was.
    void create_texture(std::int32_t width, std::int32_t height) override;
    // The whole image by UpdateSubresource (row pitch width * 4); re-creates the texture first
    // when the size differs; nothing before the first texture or for a null pointer.
    void update_texture(const std::uint8_t* pixels, std::int32_t width, std::int32_t height) override;
    // One rectangle by UpdateSubresource with a destination box; nothing outside the texture.
    void update_texture_region(const std::uint8_t* pixels, std::int32_t x, std::int32_t y, std::int32_t width,
                               std::int32_t height) override;
    ImTextureID texture_id() const override;
    bool has_texture() const override;
    std::int32_t texture_width() const override;
    std::int32_t texture_height() const override;

    // Main render target view of back buffer 0 (at start-up and after a resize).
    bool create_render_target();
    // Each present object released and set to null, in the order render target view, preview
    // view, preview texture, swap chain, context, device.
    void release_device_objects();

private:
    std::int32_t recorded_width_ = 0;
    std::int32_t recorded_height_ = 0;
};

}  // namespace vornmark::app
