#include "server/score_bins.h"

#include <gtest/gtest.h>

#include <vector>

namespace vornmark::server {

namespace {

// Bins of width one hold one score each: the figures are those of the plain list of scores.
std::vector<ScoreBin> one_score_bins(const std::vector<std::pair<std::int64_t, std::int64_t>>& scores) {
    std::vector<ScoreBin> bins;
    for (const auto& [score, count] : scores)
        bins.push_back({static_cast<double>(score), static_cast<double>(score + 1), count});
    return bins;
}

}  // namespace

TEST(ScoreBins, PercentilesAndFasterThanOfKnownDistributions) {
    struct Case {
        const char* name;
        std::vector<ScoreBin> bins;
        double q;
        double percentile;
        std::int64_t score;
        double faster_than;
    };
    const std::vector<Case> cases = {
        // 100, 101, ... 110 one run each: the median is 105, and 105 beats 5 runs and ties one.
        {"eleven scores",
         one_score_bins({{100, 1},
                         {101, 1},
                         {102, 1},
                         {103, 1},
                         {104, 1},
                         {105, 1},
                         {106, 1},
                         {107, 1},
                         {108, 1},
                         {109, 1},
                         {110, 1}}),
         0.5, 105, 105, 100.0 * 5.5 / 11},
        {"p10 between two runs", one_score_bins({{100, 1}, {110, 1}}), 0.1, 101, 110, 75},
        {"one run", one_score_bins({{500, 1}}), 0.9, 500, 500, 50},
        {"one run, a lower score", one_score_bins({{500, 1}}), 0.1, 500, 499, 0},
        {"one run, a higher score", one_score_bins({{500, 1}}), 0.1, 500, 501, 100},
        {"all equal", one_score_bins({{42, 7}}), 0.9, 42, 42, 50},
        {"lowest score", one_score_bins({{1, 3}, {2, 1}}), 0, 1, 1, 37.5},
        {"highest score", one_score_bins({{9'999'999, 1}, {10'000'000, 3}}), 1, 10'000'000, 10'000'000, 62.5},
        // A wide bin spreads its runs over its scores: 10 runs over 1000..1009, one a score.
        {"inside a wide bin", {{1000, 1010, 10}}, 0.5, 1004.5, 1004, 45},
        {"a lone run's own score", {{2100000, 2142000, 1, 2108079}}, 0.5, 2108079, 2108079, 50},
        {"wide bin, fractional edges", {{999.5, 1009.5, 10}}, 0, 1000, 1010, 100},
        {"empty bins are skipped", {{10, 11, 0}, {20, 21, 2}, {30, 31, 0}, {40, 41, 2}}, 0.5, 30, 30, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(score_percentile(c.bins, c.q).has_value());
        EXPECT_NEAR(*score_percentile(c.bins, c.q), c.percentile, 1e-9);
        EXPECT_NEAR(*faster_than_percent(c.bins, c.score), c.faster_than, 1e-9);
    }
    EXPECT_FALSE(score_percentile({}, 0.5).has_value());
    EXPECT_FALSE(faster_than_percent({{10, 20, 0}}, 15).has_value());
}

TEST(ScoreBins, HistogramsCoverTheRunsInAtMostFortyBins) {
    struct Case {
        const char* name;
        std::vector<ScoreBin> bins;
        std::vector<double> edges;
        std::vector<std::int64_t> counts;
    };
    const std::vector<Case> cases = {
        {"one run is one bar", one_score_bins({{1234, 1}}), {1234, 1235}, {1}},
        {"equal runs are one bar", one_score_bins({{77, 9}}), {77, 78}, {9}},
        {"one wide bin is one bar", {{1000, 1020, 1}}, {1000, 1020}, {1}},
        {"a few scores keep their own bars", one_score_bins({{10, 2}, {12, 1}}), {10, 11, 12, 13}, {2, 0, 1}},
        // 1000..1079: 80 scores in 40 bars of two.
        {"two scores a bar", {{1000, 1040, 40}, {1040, 1080, 40}}, {}, std::vector<std::int64_t>(40, 2)},
        {"empty bins at the ends are left out", {{0, 10, 0}, {50, 51, 4}, {90, 100, 0}}, {50, 51}, {4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScoreHistogram histogram = rebinned(c.bins);
        if (!c.edges.empty()) EXPECT_EQ(histogram.edges, c.edges);
        EXPECT_EQ(histogram.counts, c.counts);
        EXPECT_EQ(histogram.edges.size(), histogram.counts.size() + 1);
    }

    // Log-spaced bins over the whole score range: at most 40 bars, every run counted once.
    std::vector<ScoreBin> wide;
    std::int64_t runs = 0;
    for (double low = 1; low < 10'000'000; low *= 1.02) {
        wide.push_back({low, low * 1.02, 3});
        runs += 3;
    }
    const ScoreHistogram histogram = rebinned(wide);
    EXPECT_LE(histogram.counts.size(), max_histogram_bins);
    std::int64_t counted = 0;
    for (std::int64_t count : histogram.counts) counted += count;
    EXPECT_EQ(counted, runs);
    EXPECT_TRUE(rebinned({}).counts.empty());
}

}  // namespace vornmark::server
