#pragma once

#include <imgui.h>

struct AppState;

void draw_preview_panel(AppState& app);
void draw_progress_panel(AppState& app, ImFont* mono);
