#pragma once

namespace vornmark {

struct AppState;

// The start buttons ("Run Both" included), Cancel, and why a run could not take place. The runs
// themselves are the run controller's; poll_runs shows and records what they leave.
void draw_benchmark_panel(AppState& app);

// Height the Cancel button takes below the start buttons while a run is in progress.
float cancel_button_room();

}  // namespace vornmark
