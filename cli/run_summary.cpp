#include "cli/run_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include <nlohmann/json.hpp>

namespace vornmark::cli {

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
    if (scores.size() >= 2) {
        const double mean =
            std::accumulate(scores.begin(), scores.end(), 0.0) / static_cast<double>(scores.size());
        double squares = 0.0;
        for (const std::int32_t score : scores) squares += (score - mean) * (score - mean);
        const double deviation = std::sqrt(squares / static_cast<double>(scores.size() - 1));
        if (mean > 0.0) summary.rsd_percent = deviation / mean * 100.0;
    }
    summary.min = scores.front();
    summary.max = scores.back();
    if (summary.median > 0.0)
        summary.spread_percent = static_cast<double>(summary.max - summary.min) / summary.median * 100.0;
    return summary;
}

std::string summary_text(const ScoreSummary& summary) {
    char text[256];
    std::snprintf(text, sizeof text, "%s, %d runs: median %.*f, min %d, max %d, spread %.1f%%, RSD %.1f%%",
                  summary.type.c_str(), summary.runs,
                  summary.median == static_cast<std::int64_t>(summary.median) ? 0 : 1, summary.median,
                  summary.min, summary.max, summary.spread_percent, summary.rsd_percent);
    return text;
}

std::string summary_json(const ScoreSummary& summary) {
    const nlohmann::ordered_json object = {
        {"type", summary.type},
        {"runs", summary.runs},
        {"median_score", summary.median},
        {"min_score", summary.min},
        {"max_score", summary.max},
        {"spread_percent", summary.spread_percent},
        {"rsd_percent", summary.rsd_percent},
    };
    return object.dump();
}

std::string spread_warning(const ScoreSummary& summary, const std::vector<NumberedRun>& runs) {
    if (!(summary.rsd_percent > rsd_warning_percent)) return {};
    const NumberedRun* busiest = nullptr;
    const NumberedRun* slowest_clock = nullptr;
    auto taken = [](const RunConditions& c) { return c.others_percent + c.steal_percent.value_or(0.0); };
    auto clock_share = [](const RunConditions& c) { return *c.clock_mean_mhz / *c.clock_start_mhz; };
    for (const NumberedRun& run : runs) {
        if (!run.conditions) continue;
        const RunConditions& c = *run.conditions;
        if (c.verdict == ConditionsVerdict::Busy && (!busiest || taken(c) > taken(*busiest->conditions)))
            busiest = &run;
        if (c.clock_start_mhz && c.clock_mean_mhz && *c.clock_start_mhz > 0.0 &&
            c.clock_mean_mhz < throttled_clock_share * *c.clock_start_mhz &&
            (!slowest_clock || clock_share(c) < clock_share(*slowest_clock->conditions)))
            slowest_clock = &run;
    }
    std::string cause;
    const std::string during = busiest ? " during run " + std::to_string(busiest->number) : "";
    if (busiest) {
        const RunConditions& c = *busiest->conditions;
        const double steal = c.steal_percent.value_or(0.0);
        cause = steal > c.others_percent
                    ? "the virtual machine's host took " + percent_text(steal) + " (steal)" + during
                    : "other programs used " + percent_text(c.others_percent) + during;
    } else if (slowest_clock) {
        cause = "the clock fell to " + percent_text(100.0 * clock_share(*slowest_clock->conditions)) +
                " of its start during run " + std::to_string(slowest_clock->number);
    } else {
        cause = "the runs' conditions show no cause (no other programs, steal or clock drop over the limits)";
    }
    char text[128];
    std::snprintf(text, sizeof text,
                  "Warning: the %s scores vary by %.1f%% (RSD, over %.0f%%): ", summary.type.c_str(),
                  summary.rsd_percent, rsd_warning_percent);
    return text + cause;
}

}  // namespace vornmark::cli
