#pragma once

#include <string>
#include <vector>

#include "net/leaderboard_client.h"

struct AppState;

void draw_leaderboard_panel(AppState& app);
// One line under the status: the server and where that setting came from; in red why the setting
// was refused; or, in grey, that no leaderboard is set and how to set one. Without a leaderboard
// in use it is all the panel shows.
void draw_leaderboard_setting(const LeaderboardSetting& setting);
// One run type's tab: why its last fetch failed, if it did and `shown_above` (the status line) does
// not hold that text already, then its rows; "No runs yet" for a leaderboard without any, "No data yet"
// before any reply came.
void draw_standings_table(const std::vector<LeaderboardEntry>& standings, const FetchOutcome& outcome,
                          const AppState& app, const char* id, const std::string& shown_above = {});
