#pragma once

#include <string>

#include "engine/benchmark_result.h"
#include "history/history_entry.h"
#include "history/history_store.h"
#include "net/leaderboard_client.h"

namespace vornmark {

// The stored form of a run: the result's own fields, the processor's name, and the preset's
// image settings (every recorded run renders the preset image).
HistoryEntry history_entry_from_result(const BenchmarkResult& result, const std::string& cpu);

// Records a finished run the one way every front end does: appended to the history (which
// saves its file), then submitted to the leaderboard in the background. With a null
// leaderboard the run is kept in the history only. Returns the entry as stored.
HistoryEntry record_run(const BenchmarkResult& result, const std::string& cpu, HistoryStore& history,
                        LeaderboardClient* leaderboard);

}  // namespace vornmark
