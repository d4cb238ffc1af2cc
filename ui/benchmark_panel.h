#pragma once

struct AppState;

// Start buttons, Cancel, "Run Both" sequencing and the one-time collection of a
// finished run (score, history, submission).
void draw_benchmark_panel(AppState& app);

// Height the Cancel button takes below the start buttons while a run is in progress.
float cancel_button_room();
