#include "server/board_rules.h"

#include <cstdio>

namespace vornmark::server {

std::optional<std::string> implausible(const Submission& s, const BoardRules& rules) {
    if (s.threads <= 0 || s.score <= rules.max_score_per_thread * s.threads) return std::nullopt;
    return "score per thread " + std::to_string(s.score / s.threads) + " is above " +
           std::to_string(rules.max_score_per_thread) + ", more than any processor reaches";
}

std::string too_many_new_names(const BoardRules& rules) {
    return "too many new processor names from this address today (at most " +
           std::to_string(rules.new_names_per_day) + " a day)";
}

std::string over_daily_runs(const BoardRules& rules) {
    return "more than " + std::to_string(rules.runs_per_address) +
           " runs of this processor from this address today: stored, not counted";
}

std::string outlying(const BoardRules& rules) {
    char factor[32];
    std::snprintf(factor, sizeof factor, "%g", rules.outliers.factor);
    return std::string("score per thread more than ") + factor +
           " times away from this processor's median: stored, left out of its average";
}

}  // namespace vornmark::server
