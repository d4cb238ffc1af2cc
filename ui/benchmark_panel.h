#pragma once

struct AppState;

// Start buttons, Cancel, "Run Both" sequencing and the one-time collection of a
// finished run (score, history, submission).
void draw_benchmark_panel(AppState& app);
