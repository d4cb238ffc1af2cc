#pragma once

#include <imgui.h>

struct AppState;

void draw_cpu_panel(AppState& app, ImFont* mono);
