#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The scores of repeated runs of one kind.
struct ScoreSummary {
    std::string type;
    std::int32_t runs = 0;
    double median = 0.0;  // the middle score, or the mean of the two middle ones
    std::int32_t min = 0;
    std::int32_t max = 0;
    double spread_percent = 0.0;  // (max - min) / median * 100; 0 when the median is 0
};

ScoreSummary summarize_scores(const std::string& type, std::vector<std::int32_t> scores);

// "single, 5 runs: median 1234, min 1200, max 1260, spread 4.9%"
std::string summary_text(const ScoreSummary& summary);
// {"type": ..., "runs": ..., "median_score": ..., "min_score": ..., "max_score": ..., "spread_percent": ...}
std::string summary_json(const ScoreSummary& summary);
