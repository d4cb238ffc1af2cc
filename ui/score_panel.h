#pragma once

#include <imgui.h>

namespace vornmark {

struct AppState;

void draw_score_panel(AppState& app, ImFont* large);

}  // namespace vornmark
