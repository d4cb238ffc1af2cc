#pragma once

#include <string>
#include <vector>

#include "history/history_store.h"
#include "net/leaderboard_entry.h"
#include "sysinfo/system_info.h"

// The machine as the window's system panel shows it: one "Label  value" line per row,
// an empty line where the panel leaves a gap.
std::string info_listing(const SystemInfo& info);

// The stored runs, newest first, numbered in stored order, then the best score of each type.
std::string history_listing(const HistoryStore& history);

// One run type's standings in the server's order; the own processor's row is marked.
std::string standings_listing(const std::string& title, const std::vector<LeaderboardEntry>& standings,
                              const std::string& own_cpu);
