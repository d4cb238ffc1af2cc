#pragma once

#include <imgui.h>

struct AppState;

void draw_score_panel(AppState& app, ImFont* large);
