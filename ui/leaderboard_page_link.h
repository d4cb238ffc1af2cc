#pragma once

#include "base/run_kind.h"

namespace vornmark {

struct AppState;

// One line under a standings tab: "Open in browser", which hands the leaderboard's page at that
// run type's table to the desktop's browser (AppState::open_url). For a leaderboard that a browser
// does not know the certificate of (run.sh's local one), the address to copy and how to trust the
// certificate instead. Nothing without a leaderboard.
void draw_leaderboard_page_link(AppState& app, RunKind kind);

}  // namespace vornmark
