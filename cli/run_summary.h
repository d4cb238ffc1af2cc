#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "session/run_conditions.h"

namespace vornmark::cli {

// The scores of repeated runs of one kind.
struct ScoreSummary {
    std::string type;
    std::int32_t runs = 0;
    double median = 0.0;  // the middle score, or the mean of the two middle ones
    std::int32_t min = 0;
    std::int32_t max = 0;
    double spread_percent = 0.0;  // (max - min) / median * 100; 0 when the median is 0
    double rsd_percent = 0.0;     // sample standard deviation / mean * 100; 0 for fewer than 2 runs
};

// Repeated runs whose relative standard deviation is above this get a warning.
inline constexpr double rsd_warning_percent = 3.0;

// One run of a kind, by its number among all the runs (from 1), with its conditions.
struct NumberedRun {
    std::size_t number = 0;
    std::optional<RunConditions> conditions;
};

ScoreSummary summarize_scores(const std::string& type, std::vector<std::int32_t> scores);

// "single, 5 runs: median 1234, min 1200, max 1260, spread 4.9%, RSD 1.8%"
std::string summary_text(const ScoreSummary& summary);
// {"type": ..., "runs": ..., "median_score": ..., "min_score": ..., "max_score": ..., "spread_percent": ...,
//  "rsd_percent": ...}
std::string summary_json(const ScoreSummary& summary);

// Empty unless the RSD is over rsd_warning_percent; then one line with the likely cause taken from
// the runs' conditions: the busiest busy run, else the most throttled one, else that they show none.
std::string spread_warning(const ScoreSummary& summary, const std::vector<NumberedRun>& runs);

}  // namespace vornmark::cli
