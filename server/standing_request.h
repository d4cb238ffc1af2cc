#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/page_data.h"
#include "server/score_bins.h"
#include "server/store.h"

namespace vornmark::server {

// Where a score stands among the runs of one processor: GET /api.php?type=T&cpu=NAME&score=S.
// The same figures make a processor's web page.

// A request's parameters once checked: the name taken as a submission's is (canonical, keyed).
struct StandingParameters {
    std::string type;
    std::string cpu;      // canonical_cpu_name of the name sent
    std::string cpu_key;  // cpu_name_key of it
    std::optional<std::int64_t> score;
};

// The parameters, or the refusal's message for a 400: a type other than "single" or "multi"; a
// name that is no UTF-8, holds control characters, is empty or over the name limit once made
// canonical, or breaks a naming rule; a score that is not a whole number from 1 to 10,000,000; a
// score without a name. (Without either, the request is the standings'.)
struct StandingCheck {
    StandingParameters parameters;
    std::string error;
    bool ok() const { return error.empty(); }
};
StandingCheck check_standing_query(const std::optional<std::string>& type,
                                   const std::optional<std::string>& cpu,
                                   const std::optional<std::string>& score);

// One processor's figures, read once and kept for about a second: its row (runs 0 when the type
// has none), its place among the listed rows, and its spread.
struct ProcessorStanding {
    std::optional<StandingsRow> row;
    std::optional<int> rank;     // 1-based among the listed rows; none when the row is not listed
    std::int64_t rows = 0;       // rows listed for the type
    RowDistribution spread;      // p10, median, p90 and a histogram of at most max_histogram_bins bars
    std::vector<ScoreBin> bins;  // the row's own bins, for the share a score beats
};

// The row's bins as ScoreBins, and the spread the pages and the request show: p10, median and p90
// as the row has them, the bins rebinned to at most max_histogram_bins bars.
std::vector<ScoreBin> score_bins_of(const RowDistribution& distribution);
RowDistribution shown_spread(const RowDistribution& distribution);

// The reply's JSON: "cpu", "runs", "avg_score", "faster_than" (with a score), "faster_than_all"
// (when known), "rank" and "rows", "histogram", "median", "p10", "p90". `cpu` is the name shown:
// the row's first spelling, or the name asked for when there is no row.
std::string standing_reply_json(const ProcessorStanding& standing, const std::string& cpu,
                                std::optional<std::int64_t> score, std::optional<double> faster_than_all);

}  // namespace vornmark::server
