#include "session/run_record.h"

#include "base/preset.h"

namespace vornmark {

HistoryEntry history_entry_from_result(const BenchmarkResult& result, const std::string& cpu) {
    HistoryEntry entry;
    entry.date = result.date;
    entry.cpu = cpu;
    entry.type = run_kind_text(result.type);
    entry.score = result.score;
    entry.time_seconds = result.time_seconds;
    entry.threads = result.threads;
    entry.resolution_w = preset_width;
    entry.resolution_h = preset_height;
    entry.samples = preset_samples;
    return entry;
}

HistoryEntry record_run(const BenchmarkResult& result, const std::string& cpu, HistoryStore& history,
                        LeaderboardClient* leaderboard) {
    HistoryEntry entry = history_entry_from_result(result, cpu);
    history.append(entry);
    if (leaderboard) leaderboard->submit_result(entry.cpu, result.type, entry.score, entry.threads);
    return entry;
}

}  // namespace vornmark
