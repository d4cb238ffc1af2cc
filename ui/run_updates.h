#pragma once

#include "session/run_controller.h"

namespace vornmark {

struct AppState;

// Once per frame, before any panel is drawn: polls the run controller and acts on what it
// reports. A finished run is shown (its score and the verdict on its image) and recorded
// (history, then the leaderboard) unless its image is wrong; a new start clears the verdict. The
// panels then draw from the state this leaves. Returns the poll's report.
RunUpdate poll_runs(AppState& app);

}  // namespace vornmark
