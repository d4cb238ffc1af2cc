#pragma once

#include <vector>

#include "sysinfo/graphics_adapter.h"

namespace vornmark {
struct AppState;
}  // namespace vornmark

namespace vornmark::app {

// Fills the application state before the first frame, in this order: the machine
// (with the adapters the GL context knows of), the history, the scores shown at
// first (the history's best of each type), and background fetches of the
// "single" and then the "multi" standings.
void prepare_app_state(AppState& app, const std::vector<GraphicsAdapter>& gl_adapters);

// Before the window closes: the leaderboard's background requests are joined, then a run
// in progress is told to stop (the engine joins it when it is destroyed).
void stop_background_work(AppState& app);

}  // namespace vornmark::app
