#pragma once

#include <vector>

#include "net/leaderboard_client.h"

struct AppState;

void draw_leaderboard_panel(AppState& app);
void draw_standings_table(const std::vector<LeaderboardEntry>& standings, const AppState& app,
                          const char* id);
