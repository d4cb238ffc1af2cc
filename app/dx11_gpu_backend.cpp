#include "app/dx11_gpu_backend.h"

namespace vornmark::app {

namespace {

template <typename T>
void release(T*& object) {
    if (object) {
        object->Release();
        object = nullptr;
    }
}

}  // namespace

void Dx11GpuBackend::create_texture(std::int32_t width, std::int32_t height) {
    release(preview_view);
    release(preview_texture);
    if (!device || width <= 0 || height <= 0) return;

    D3D11_TEXTURE2D_DESC description{};
    description.Width = static_cast<UINT>(width);
    description.Height = static_cast<UINT>(height);
    description.MipLevels = 1;
    description.ArraySize = 1;
    description.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    description.SampleDesc.Count = 1;
    description.SampleDesc.Quality = 0;
    description.Usage = D3D11_USAGE_DEFAULT;
    description.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    device->CreateTexture2D(&description, nullptr, &preview_texture);
    if (!preview_texture) return;
    device->CreateShaderResourceView(preview_texture, nullptr, &preview_view);
    recorded_width_ = width;
    recorded_height_ = height;
}

void Dx11GpuBackend::update_texture(const std::uint8_t* pixels, std::int32_t width, std::int32_t height) {
    if (!preview_texture || !pixels) return;
    if (width != recorded_width_ || height != recorded_height_) create_texture(width, height);
    if (!preview_texture || !context) return;
    context->UpdateSubresource(preview_texture, 0, nullptr, pixels, static_cast<UINT>(width) * 4, 0);
}

void Dx11GpuBackend::update_texture_region(const std::uint8_t* pixels, std::int32_t x, std::int32_t y,
                                           std::int32_t width, std::int32_t height) {
    if (!preview_texture || !context || !pixels) return;
    const bool inside = x >= 0 && y >= 0 && width > 0 && height > 0 && x <= recorded_width_ - width &&
                        y <= recorded_height_ - height;
    if (!inside) return;
    const D3D11_BOX box{static_cast<UINT>(x),         static_cast<UINT>(y),          0,
                        static_cast<UINT>(x + width), static_cast<UINT>(y + height), 1};
    context->UpdateSubresource(preview_texture, 0, &box, pixels, static_cast<UINT>(width) * 4, 0);
}

ImTextureID Dx11GpuBackend::texture_id() const {
    return static_cast<ImTextureID>(preview_view);
}

bool Dx11GpuBackend::has_texture() const {
    return preview_view != nullptr;
}

std::int32_t Dx11GpuBackend::texture_width() const {
    return recorded_width_;
}

std::int32_t Dx11GpuBackend::texture_height() const {
    return recorded_height_;
}

bool Dx11GpuBackend::create_render_target() {
    if (!swap_chain || !device) return false;
    ID3D11Texture2D* back_buffer = nullptr;
    swap_chain->GetBuffer(0, IID_ID3D11Texture2D, reinterpret_cast<void**>(&back_buffer));
    if (!back_buffer) return false;
    device->CreateRenderTargetView(back_buffer, nullptr, &render_target_view);
    back_buffer->Release();
    return render_target_view != nullptr;
}

void Dx11GpuBackend::release_device_objects() {
    release(render_target_view);
    release(preview_view);
    release(preview_texture);
    release(swap_chain);
    release(context);
    release(device);
}

}  // namespace vornmark::app
