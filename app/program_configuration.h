#pragma once

#include <memory>

namespace vornmark {
struct AppState;
}  // namespace vornmark

namespace vornmark::app {

// What sets the program users get apart from the one the end-to-end tests and the window
// benchmark run. Each executable links one of the two definitions: program_configuration.cpp
// (`vornmark`, `Vornmark.exe`) or program_configuration_e2e.cpp (`vornmark-e2e`,
// `Vornmark-e2e.exe`: a tiny run, the test's leaderboard server, a log of the frames).

// The application state the window starts with.
std::unique_ptr<AppState> make_app_state();

struct FrameFacts;

// After each frame the window drew: nothing in the product; the end-to-end program logs it.
void frame_drawn(const AppState& app, const FrameFacts& facts);

}  // namespace vornmark::app
