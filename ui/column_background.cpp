#include "ui/column_background.h"

#include <algorithm>

#include "ui/gpu_backend.h"

namespace vornmark {

void draw_column_background(ImDrawList& list, IGpuBackend* gpu, ImVec2 min, ImVec2 max, ImU32 colour,
                            float rounding) {
    const float r = std::max(0.0f, std::min({rounding, (max.x - min.x) * 0.5f, (max.y - min.y) * 0.5f}));
    if (gpu == nullptr || max.x <= min.x || max.y <= min.y) {
        list.AddRectFilled(min, max, colour, r);
        return;
    }
    // A cross: the full height between the corners' columns, the full width between their rows.
    gpu->add_opaque_fill(list, ImVec2(min.x + r, min.y), ImVec2(max.x - r, max.y), colour);
    gpu->add_opaque_fill(list, ImVec2(min.x, min.y + r), ImVec2(min.x + r, max.y - r), colour);
    gpu->add_opaque_fill(list, ImVec2(max.x - r, min.y + r), ImVec2(max.x, max.y - r), colour);
    if (r <= 0.0f) return;
    // ImGui rounds a corner by at most the shape's width less one pixel, so each corner piece
    // is a pixel wider than the rounding; it overlaps the cross by that pixel, in its colour.
    const float piece = r + 1.0f;
    list.AddRectFilled(min, ImVec2(min.x + piece, min.y + piece), colour, r, ImDrawFlags_RoundCornersTopLeft);
    list.AddRectFilled(ImVec2(max.x - piece, min.y), ImVec2(max.x, min.y + piece), colour, r,
                       ImDrawFlags_RoundCornersTopRight);
    list.AddRectFilled(ImVec2(min.x, max.y - piece), ImVec2(min.x + piece, max.y), colour, r,
                       ImDrawFlags_RoundCornersBottomLeft);
    list.AddRectFilled(ImVec2(max.x - piece, max.y - piece), max, colour, r,
                       ImDrawFlags_RoundCornersBottomRight);
}

}  // namespace vornmark
