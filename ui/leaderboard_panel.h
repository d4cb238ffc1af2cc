#pragma once

#include <vector>

#include "net/leaderboard_client.h"

struct AppState;

void draw_leaderboard_panel(AppState& app);
// One line under the status: the server and where that setting came from, or in red why the
// setting was refused.
void draw_leaderboard_setting(const LeaderboardSetting& setting);
void draw_standings_table(const std::vector<LeaderboardEntry>& standings, const AppState& app,
                          const char* id);
