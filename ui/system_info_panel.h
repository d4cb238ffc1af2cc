#pragma once

#include <imgui.h>

struct AppState;

void draw_system_info_panel(AppState& app, ImFont* mono);
