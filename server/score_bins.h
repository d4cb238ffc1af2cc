#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vornmark::server {

// Figures read from a row's distribution of scores: a few bins, however many runs. Scores are
// whole numbers; the runs of a bin are taken as spread evenly over the whole scores the bin can
// hold (linear inside a bin), so every figure here is exact to the width of a bin.

// `count` runs whose scores lie in [low, high): the whole scores from ceil(low) up to ceil(high) - 1
// (at least the one score ceil(low)). Bins are given in ascending order and do not overlap.
// A bin whose one run's score is known (`exact`) holds that score and no other.
struct ScoreBin {
    double low = 0;
    double high = 0;
    std::int64_t count = 0;
    std::optional<std::int64_t> exact = std::nullopt;
};

// What a histogram shows: bin i covers [edges[i], edges[i + 1]) and holds counts[i] runs.
struct ScoreHistogram {
    std::vector<double> edges;
    std::vector<std::int64_t> counts;
};

inline constexpr std::size_t max_histogram_bins = 40;

std::int64_t total_runs(const std::vector<ScoreBin>& bins);

// The score below which the fraction `q` (0 to 1) of the runs lie, interpolated between runs as
// between neighbours in a sorted list; nothing without runs.
std::optional<double> score_percentile(const std::vector<ScoreBin>& bins, double q);

// The percent (0 to 100) of the runs with a lower score than `score`; runs of the same score count
// half. Nothing without runs.
std::optional<double> faster_than_percent(const std::vector<ScoreBin>& bins, std::int64_t score);

// The runs in at most `max_bins` bins of equal, whole-score width over the range that holds them:
// from the lowest score any run can have to the highest. One run, or runs all of one score, make
// one bin. The counts add up to the runs exactly. Empty without runs.
ScoreHistogram rebinned(const std::vector<ScoreBin>& bins, std::size_t max_bins = max_histogram_bins);

// A share rounded down to one decimal, as the leaderboard sends it: never more than was beaten.
double one_decimal(double value);

}  // namespace vornmark::server
