#pragma once

#include <cstdint>

#include <imgui.h>

// The preview texture as the panels see it. The window's graphics layer implements
// it; the panels never touch a graphics API directly.
class IGpuBackend {
public:
    virtual ~IGpuBackend() = default;

    // (Re)creates the texture at this size; on failure has_texture() is false.
    virtual void create_texture(std::int32_t width, std::int32_t height) = 0;
    // Replaces the whole image (RGBA bytes, rows top to bottom, row pitch width * 4).
    // Does nothing before the first create_texture or for a null pointer; re-creates
    // the texture first when the size differs.
    virtual void update_texture(const std::uint8_t* pixels, std::int32_t width, std::int32_t height) = 0;
    // Replaces one rectangle of the texture with `pixels` (RGBA rows of that
    // rectangle, row pitch width * 4). Does nothing without a texture, for a null
    // pointer or for a rectangle that does not lie inside the texture.
    virtual void update_texture_region(const std::uint8_t* pixels, std::int32_t x, std::int32_t y,
                                       std::int32_t width, std::int32_t height) = 0;
    virtual ImTextureID texture_id() const = 0;
    virtual bool has_texture() const = 0;
    virtual std::int32_t texture_width() const = 0;
    virtual std::int32_t texture_height() const = 0;
};
