#pragma once

#include <string>
#include <vector>

#include "base/run_kind.h"
#include "net/leaderboard_client.h"

namespace vornmark {

struct AppState;

void draw_leaderboard_panel(AppState& app);
// One line under the status: the server and where that setting came from; in red why the setting
// was refused; or, in grey, that no leaderboard is set and how to set one. Without a leaderboard
// in use it is all the panel shows.
void draw_leaderboard_setting(const LeaderboardSetting& setting);
// One run type's tab: why its last fetch failed, if it did and `shown_above` (the status line) does
// not hold that text already, then its rows; "No runs yet" for a leaderboard without any, "No data yet"
// before any reply came. A click on a row chooses it (choose_processor) and its spread shows under the
// table; a second click puts it away.
void draw_standings_table(const std::vector<LeaderboardEntry>& standings, const FetchOutcome& outcome,
                          AppState& app, RunKind kind, const char* id, const std::string& shown_above = {});

}  // namespace vornmark
