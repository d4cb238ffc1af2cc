#pragma once

#include <cstdint>

#include <imgui.h>

namespace vornmark {

// The preview texture, and the cheapest way to fill a rectangle, as the panels see them.
// The window's graphics layer implements it; the panels never touch a graphics API directly.
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

    // Fills the rectangle [min, max) of the frame, clipped as `list` is, with an opaque colour,
    // in its place among the list's draws. A software renderer clears a rectangle many times
    // faster than it shades and blends one, and large fills are most of what a frame costs
    // it; a graphics layer that can clear does so. The default draws it like any rectangle.
    virtual void add_opaque_fill(ImDrawList& list, ImVec2 min, ImVec2 max, ImU32 colour) {
        list.AddRectFilled(min, max, colour);
    }
};

}  // namespace vornmark
