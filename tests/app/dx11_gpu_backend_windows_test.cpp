// The preview texture on a real Direct3D 11 device (under Wine: Wine's Direct3D over the X
// server's OpenGL, so the test runs under Xvfb), read back through a staging copy.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "app/dx11_gpu_backend.h"

namespace vornmark::app {

namespace {

class Dx11GpuBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        const D3D_FEATURE_LEVEL level = D3D_FEATURE_LEVEL_11_0;
        D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &level, 1, D3D11_SDK_VERSION,
                          &state.device, nullptr, &state.context);
        ASSERT_NE(state.device, nullptr) << "no Direct3D 11 device";
    }
    void TearDown() override { state.release_device_objects(); }

    // The texture's bytes, rows packed (width * 4 each).
    std::vector<std::uint8_t> read_back() {
        D3D11_TEXTURE2D_DESC description{};
        state.preview_texture->GetDesc(&description);
        description.Usage = D3D11_USAGE_STAGING;
        description.BindFlags = 0;
        description.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
        ID3D11Texture2D* staging = nullptr;
        state.device->CreateTexture2D(&description, nullptr, &staging);
        if (!staging) return {};
        state.context->CopyResource(staging, state.preview_texture);
        D3D11_MAPPED_SUBRESOURCE mapped{};
        std::vector<std::uint8_t> bytes;
        if (SUCCEEDED(state.context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped))) {
            const std::size_t row = description.Width * 4;
            bytes.resize(row * description.Height);
            for (UINT y = 0; y < description.Height; ++y)
                std::memcpy(bytes.data() + y * row,
                            static_cast<const std::uint8_t*>(mapped.pData) + y * mapped.RowPitch, row);
            state.context->Unmap(staging, 0);
        }
        staging->Release();
        return bytes;
    }

    Dx11GpuBackend state;
};

std::vector<std::uint8_t> pattern(int width, int height, int seed) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return bytes;
}

}  // namespace

TEST_F(Dx11GpuBackendTest, UploadIsReadBackByteForByte) {
    const auto before = pattern(5, 3, 1);
    state.update_texture(before.data(), 5, 3);
    EXPECT_FALSE(state.has_texture()) << "nothing before the first create_texture";

    state.create_texture(5, 3);
    ASSERT_TRUE(state.has_texture());
    EXPECT_EQ(state.texture_id(), static_cast<ImTextureID>(state.preview_view));
    const auto image = pattern(5, 3, 9);
    state.update_texture(image.data(), 5, 3);
    EXPECT_EQ(read_back(), image);

    state.update_texture(nullptr, 7, 7);
    EXPECT_EQ(state.texture_width(), 5) << "a null image changes nothing";
    EXPECT_EQ(read_back(), image);
}

TEST_F(Dx11GpuBackendTest, AnotherSizeRecreatesTheTextureThenUploads) {
    state.create_texture(5, 3);
    const auto image = pattern(4, 2, 3);
    state.update_texture(image.data(), 4, 2);
    EXPECT_EQ(state.texture_width(), 4);
    EXPECT_EQ(state.texture_height(), 2);
    EXPECT_EQ(read_back(), image);
}

TEST_F(Dx11GpuBackendTest, EmptySizeLeavesNoTextureAndTheRecordedSize) {
    state.create_texture(6, 2);
    state.create_texture(0, 0);
    EXPECT_FALSE(state.has_texture());
    EXPECT_EQ(state.texture_width(), 6);
    EXPECT_EQ(state.texture_height(), 2);
}

TEST_F(Dx11GpuBackendTest, RegionReplacesOnlyItsRectangleAndNothingOutside) {
    state.create_texture(6, 4);
    auto image = pattern(6, 4, 5);
    state.update_texture(image.data(), 6, 4);
    const auto tile = pattern(2, 3, 77);
    state.update_texture_region(tile.data(), 3, 1, 2, 3);
    for (int row = 0; row < 3; ++row) std::memcpy(&image[((1 + row) * 6 + 3) * 4], &tile[row * 2 * 4], 2 * 4);
    EXPECT_EQ(read_back(), image);

    state.update_texture_region(tile.data(), 5, 2, 2, 3);  // reaches past the right and bottom edges
    state.update_texture_region(tile.data(), -1, 0, 2, 3);
    EXPECT_EQ(read_back(), image);
}

}  // namespace vornmark::app
