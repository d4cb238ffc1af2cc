#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/run_kind.h"

namespace vornmark {

// Where a score stands among the runs of one processor, as the leaderboard answers
// GET /api.php?type=T&cpu=NAME&score=S: the processor's row, the share of its counted runs (and of
// all runs of the type) with a lower score, its place among the listed rows, and the spread of its
// runs. A member the server left out stays empty.
struct Standing {
    std::string cpu;  // printable (printable_text)
    std::int32_t runs = 0;
    std::int32_t avg_score = 0;
    std::optional<double> faster_than;      // percent, 0 to 100; only when a score was sent
    std::optional<double> faster_than_all;  // percent of every counted run of the type
    std::optional<std::int32_t> rank;       // 1-based, among the listed rows; none when not listed
    std::int32_t rows = 0;                  // rows listed for the type
    std::vector<double> edges;              // bin i covers [edges[i], edges[i + 1])
    std::vector<std::int64_t> counts;       // runs per bin; empty without runs
    std::optional<double> median;
    std::optional<double> p10;
    std::optional<double> p90;

    bool has_histogram() const { return !counts.empty(); }
};

// More bars than any leaderboard draws: a reply with more is not one.
inline constexpr std::size_t max_standing_bins = 40;

// The request's path, the name percent-encoded: "/api.php?type=multi&cpu=AMD%20EPYC&score=1234".
std::string standing_path(RunKind kind, std::string_view cpu, std::optional<std::int32_t> score);

// Reads a reply body (parse_reply). Members of the wrong JSON type raise the JSON library's own
// error; numbers no leaderboard means (a share beyond 0..100, a rank beyond the rows, bins that are
// not in order or not one fewer than their edges, more than max_standing_bins) raise
// ImpossibleStandings (net/standings.h).
Standing standing_from_reply(const std::string& body);

// The standing as one JSON object, for the runner's --json (only what was read, names printable).
std::string standing_json(const Standing& standing);

// A share as the program writes it, rounded down to a tenth: "63", "62.5", "100".
std::string share_beaten_text(double percent);

// The window's line under the score: "Faster than 63 % of 41 runs of this processor · #12 of 230
// processors"; the place is left out when the row is not listed.
std::string standing_line(const Standing& standing);

// The runner's line: "Where you stand: faster than 63 % of 41 runs of AMD EPYC (median 139,
// p10–p90 120–150); #12 of 230 processors".
std::string where_you_stand_line(const Standing& standing);

// The line shown where the standing would have been when it could not be had.
std::string standing_unavailable_line(const std::string& why);

}  // namespace vornmark
