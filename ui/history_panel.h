#pragma once

struct AppState;

void draw_history_panel(AppState& app);
