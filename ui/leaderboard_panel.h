#pragma once

#include <vector>

#include "net/leaderboard_client.h"

struct AppState;

void draw_leaderboard_panel(AppState& app);
// One line under the status: the server and where that setting came from, or in red why the
// setting was refused.
void draw_leaderboard_setting(const LeaderboardSetting& setting);
// One run type's tab: why its last fetch failed, if it did, then its rows; "No runs yet" for a
// leaderboard without any, "No data yet" before any reply came.
void draw_standings_table(const std::vector<LeaderboardEntry>& standings, const FetchOutcome& outcome,
                          const AppState& app, const char* id);
