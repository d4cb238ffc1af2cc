#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/history_entry.h"
#include "session/verified_run.h"

namespace vornmark {

// How many times the single-core score the multi-core score is, on how many threads.
struct MpRatio {
    double ratio = 0.0;
    std::int32_t threads = 0;
};

// Nothing unless both scores are known (above 0).
std::optional<MpRatio> mp_ratio(double single_score, double multi_score, std::int32_t threads);

// The last single-core and multi-core runs with a valid score among `runs`.
std::optional<MpRatio> mp_ratio_of_runs(const std::vector<FinishedRun>& runs);

// The best single-core and multi-core scores of the history's entries of this processor; the
// threads are the best multi-core run's.
std::optional<MpRatio> mp_ratio_of_history(const std::vector<HistoryEntry>& entries, const std::string& cpu);

// "MP ratio 1.86× on 2 threads".
std::string mp_ratio_text(const MpRatio& ratio);

}  // namespace vornmark
