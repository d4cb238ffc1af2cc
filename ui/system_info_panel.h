#pragma once

#include <imgui.h>

namespace vornmark {

struct AppState;

void draw_system_info_panel(AppState& app, ImFont* mono);

}  // namespace vornmark
