#pragma once

#include <imgui.h>

namespace vornmark {

struct AppState;

void draw_cpu_panel(AppState& app, ImFont* mono);

// Content width the panel's title line needs: the title, then the usage in `mono` (or the current
// font without one).
float cpu_panel_width(ImFont* mono);

}  // namespace vornmark
