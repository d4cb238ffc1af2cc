#include "ui/leaderboard_panel.h"

void draw_leaderboard_panel(AppState&) {}
void draw_standings_table(const std::vector<LeaderboardEntry>&, const AppState&, const char*) {}
