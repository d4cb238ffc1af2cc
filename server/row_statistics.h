#pragma once

#include <cstdint>
#include <vector>

namespace vornmark::server {

// A row's distribution: its counted runs in log-spaced score bins, per thread count, and what is
// read from them (the robust average, the outliers, percentiles). Both stores keep the bins and
// call these functions, so that a row reads the same on SQLite and PostgreSQL.

// Score bins: bin b holds the scores from score_bin_floor(b) up to score_bin_floor(b + 1) - 1.
// Below 50 each score is a bin of its own; above, a bin spans at most 2 % of its floor (integer
// steps, so that every machine draws the same edges).
int score_bin(std::int64_t score);
std::int64_t score_bin_floor(int bin);

// The counted runs of one row with one thread count whose scores fall in one bin.
struct ThreadBin {
    std::int32_t threads = 0;
    std::int32_t bin = 0;
    std::int64_t runs = 0;
    std::int64_t score_sum = 0;
};

// Outliers: once a row has `min_runs` counted runs, the runs whose score per thread lies more than
// `factor` from the row's median score per thread (above or below) count in neither its average
// nor its distribution.
struct OutlierRule {
    double factor = 3;
    int min_runs = 10;
};

// A row as read from its bins.
struct RowDistribution {
    double p10 = 0;  // percentiles of the kept scores, exact to the bin width
    double median = 0;
    double p90 = 0;
    std::vector<double> edges;         // bin i covers [edges[i], edges[i + 1]); one more than counts
    std::vector<std::int64_t> counts;  // kept runs per score bin, from the lowest bin used to the highest
    std::int64_t avg_score = 0;        // the mean of the middle half of the runs kept (truncated)
    std::int64_t runs = 0;             // runs kept: counted, not outliers
    std::int64_t outliers = 0;         // counted runs left out by the outlier rule
    double median_per_thread = 0;      // over every counted run; what the outlier rule measures from
    std::vector<ThreadBin> bins;       // as stored, outliers included

    bool empty() const { return counts.empty() || edges.size() != counts.size() + 1; }
};

// Reads a row from its stored bins (any order). Empty when there are none.
RowDistribution read_distribution(std::vector<ThreadBin> bins, const OutlierRule& rule);

// Whether a bin of the row is left out as outlying (`median_per_thread` from read_distribution).
bool is_outlier(const ThreadBin& bin, std::int64_t counted_runs, double median_per_thread,
                const OutlierRule& rule);

}  // namespace vornmark::server
