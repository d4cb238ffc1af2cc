#pragma once

struct AppState;

// The one window that fills the application window: header, three columns, tabs.
void draw_main_layout(AppState& app);
