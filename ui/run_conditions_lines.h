#pragma once

namespace vornmark {

struct AppState;

// Under the scores: the conditions of the last single-core and multi-core run since the program
// started ("SC: quiet", grey; amber with its reasons when busy or throttled), and the MP ratio once
// both scores of this machine are known (this session's runs, else the history's best on this
// processor).
void draw_run_conditions_lines(const AppState& app);

}  // namespace vornmark
