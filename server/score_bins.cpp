#include "server/score_bins.h"

#include <algorithm>
#include <cmath>

namespace vornmark::server {

namespace {

// The whole scores a bin can hold: from `first`, `values` of them.
struct Scores {
    std::int64_t first;
    std::int64_t values;
};

Scores scores_of(const ScoreBin& bin) {
    if (bin.exact && bin.count == 1) return {*bin.exact, 1};
    const auto first = static_cast<std::int64_t>(std::ceil(bin.low));
    const auto end = static_cast<std::int64_t>(std::ceil(bin.high));
    return {first, std::max<std::int64_t>(1, end - first)};
}

// Runs below `x` on a line where each whole score v spreads its runs over [v, v + 1).
double runs_below(const std::vector<ScoreBin>& bins, double x) {
    double below = 0;
    for (const ScoreBin& bin : bins) {
        if (bin.count <= 0) continue;
        const Scores s = scores_of(bin);
        const double covered =
            std::clamp(x - static_cast<double>(s.first), 0.0, static_cast<double>(s.values));
        below += static_cast<double>(bin.count) * covered / static_cast<double>(s.values);
    }
    return below;
}

// The score of the run at 0-based position `rank` in sorted order (0 <= rank < total).
double score_at(const std::vector<ScoreBin>& bins, std::int64_t rank) {
    std::int64_t before = 0;
    for (const ScoreBin& bin : bins) {
        if (bin.count <= 0) continue;
        if (rank < before + bin.count) {
            const Scores s = scores_of(bin);
            const double last = static_cast<double>(s.first + s.values - 1);
            const double first = static_cast<double>(s.first);
            if (bin.count == 1) return (first + last) / 2;
            return first +
                   (last - first) * static_cast<double>(rank - before) / static_cast<double>(bin.count - 1);
        }
        before += bin.count;
    }
    return 0;
}

}  // namespace

std::int64_t total_runs(const std::vector<ScoreBin>& bins) {
    std::int64_t total = 0;
    for (const ScoreBin& bin : bins) total += std::max<std::int64_t>(0, bin.count);
    return total;
}

std::optional<double> score_percentile(const std::vector<ScoreBin>& bins, double q) {
    const std::int64_t total = total_runs(bins);
    if (total == 0) return std::nullopt;
    const double position = std::clamp(q, 0.0, 1.0) * static_cast<double>(total - 1);
    const auto below = static_cast<std::int64_t>(std::floor(position));
    const std::int64_t above = std::min(below + 1, total - 1);
    const double low = score_at(bins, below);
    return low + (score_at(bins, above) - low) * (position - static_cast<double>(below));
}

std::optional<double> faster_than_percent(const std::vector<ScoreBin>& bins, std::int64_t score) {
    const std::int64_t total = total_runs(bins);
    if (total == 0) return std::nullopt;
    // Runs below the score, plus half of those on it.
    const double x = static_cast<double>(score);
    const double below = runs_below(bins, x);
    const double lower = below + (runs_below(bins, x + 1) - below) / 2;
    return std::clamp(100.0 * lower / static_cast<double>(total), 0.0, 100.0);
}

ScoreHistogram rebinned(const std::vector<ScoreBin>& bins, std::size_t max_bins) {
    ScoreHistogram histogram;
    const std::int64_t total = total_runs(bins);
    if (total == 0 || max_bins == 0) return histogram;
    std::int64_t low = 0;
    std::int64_t high = 0;  // one past the highest score
    bool found = false;
    for (const ScoreBin& bin : bins) {
        if (bin.count <= 0) continue;
        const Scores s = scores_of(bin);
        low = found ? std::min(low, s.first) : s.first;
        high = found ? std::max(high, s.first + s.values) : s.first + s.values;
        found = true;
    }
    // Runs all in one bin (one run, or runs all of one score) make one bar: the bin itself.
    std::size_t used = 0;
    for (const ScoreBin& bin : bins) used += bin.count > 0 ? 1 : 0;
    if (used == 1) {
        histogram.edges = {static_cast<double>(low), static_cast<double>(high)};
        histogram.counts = {total};
        return histogram;
    }
    const std::int64_t range = high - low;
    const auto wanted = static_cast<std::int64_t>(max_bins);
    const std::int64_t width = (range + wanted - 1) / wanted;
    const std::int64_t count = (range + width - 1) / width;
    // Counts from the rounded running total, so that they add up to the runs exactly.
    std::int64_t counted = 0;
    for (std::int64_t i = 0; i <= count; ++i) {
        const double edge = static_cast<double>(low + i * width);
        histogram.edges.push_back(edge);
        if (i == 0) continue;
        const auto upto =
            i == count ? total : static_cast<std::int64_t>(std::llround(runs_below(bins, edge)));
        histogram.counts.push_back(std::max<std::int64_t>(0, upto - counted));
        counted = std::max(counted, upto);
    }
    return histogram;
}

double one_decimal(double value) {
    return std::floor(value * 10.0 + 1e-6) / 10.0;
}

}  // namespace vornmark::server
