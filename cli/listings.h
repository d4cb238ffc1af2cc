#pragma once

#include <string>
#include <vector>

#include "history/history_store.h"
#include "net/leaderboard_client.h"
#include "net/leaderboard_entry.h"
#include "net/leaderboard_setting.h"
#include "sysinfo/system_info.h"

namespace vornmark::cli {

// The machine as the window's system panel shows it: one "Label  value" line per row,
// an empty line where the panel leaves a gap.
std::string info_listing(const SystemInfo& info);

// The leaderboard in use and where that setting came from, in the listing's form; for a refused
// setting, why; without one, no_leaderboard_line(). scripts/run.sh looks for "(built-in default)" and
// "No leaderboard set" in it.
std::string leaderboard_listing(const LeaderboardSetting& setting);

// The stored runs, newest first, numbered in stored order, then the best score of each type. When
// the file could not be read, says so and names the copy kept aside instead.
std::string history_listing(const HistoryStore& history);

// After a run was appended: "History: <path>" when the file was saved, otherwise why not
// (history_change_problem).
std::string history_save_line(const HistoryStore& history);

// One run type's standings in the server's order, the own processor's row marked with ">" and the
// mark explained. Why the fetch failed when it did; "No runs yet" for a leaderboard without any.
std::string standings_listing(const std::string& title, const std::vector<LeaderboardEntry>& standings,
                              const FetchOutcome& outcome, const std::string& own_cpu);

// Under the standings: the address of the leaderboard's web page, and for a leaderboard whose
// certificate a browser does not know, how to trust it. Nothing without a leaderboard.
std::string web_page_listing(const LeaderboardSetting& setting);

}  // namespace vornmark::cli
