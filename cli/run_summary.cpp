#include "cli/run_summary.h"

#include <algorithm>
#include <cstdio>

#include <nlohmann/json.hpp>

ScoreSummary summarize_scores(const std::string& type, std::vector<std::int32_t> scores) {
    ScoreSummary summary;
    summary.type = type;
    summary.runs = static_cast<std::int32_t>(scores.size());
    if (scores.empty()) return summary;
    std::sort(scores.begin(), scores.end());
    const std::size_t middle = scores.size() / 2;
    summary.median = scores.size() % 2 == 1
                         ? scores[middle]
                         : (static_cast<double>(scores[middle - 1]) + scores[middle]) / 2.0;
    summary.min = scores.front();
    summary.max = scores.back();
    if (summary.median > 0.0)
        summary.spread_percent = static_cast<double>(summary.max - summary.min) / summary.median * 100.0;
    return summary;
}

std::string summary_text(const ScoreSummary& summary) {
    char text[256];
    std::snprintf(text, sizeof text, "%s, %d runs: median %.*f, min %d, max %d, spread %.1f%%",
                  summary.type.c_str(), summary.runs,
                  summary.median == static_cast<std::int64_t>(summary.median) ? 0 : 1, summary.median,
                  summary.min, summary.max, summary.spread_percent);
    return text;
}

std::string summary_json(const ScoreSummary& summary) {
    const nlohmann::ordered_json object = {
        {"type", summary.type},     {"runs", summary.runs},     {"median_score", summary.median},
        {"min_score", summary.min}, {"max_score", summary.max}, {"spread_percent", summary.spread_percent},
    };
    return object.dump();
}
