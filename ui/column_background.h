#pragma once

#include <imgui.h>

namespace vornmark {

class IGpuBackend;

// The background of one of the window's columns: the rectangle [min, max) with corners
// rounded by `rounding`, filled with `colour` (opaque) into `list`. The straight parts go
// through the graphics layer's opaque fill and only the four corners are drawn as shapes,
// since a software renderer spends most of a frame shading large areas. Without a
// graphics layer it is one rounded rectangle.
void draw_column_background(ImDrawList& list, IGpuBackend* gpu, ImVec2 min, ImVec2 max, ImU32 colour,
                            float rounding);

}  // namespace vornmark
