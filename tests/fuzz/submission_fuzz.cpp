// The server's reading of a submission and its rules: a stored name is canonical, at most 128 bytes,
// keeps the rules and has a key that folding again does not change; the plausibility check and a
// row read from bins made of the input hold their invariants; any text goes through the name and
// address functions without harm.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "server/address_unit.h"
#include "server/board_rules.h"
#include "server/cpu_name.h"
#include "server/row_statistics.h"
#include "server/submission.h"

using namespace vornmark;
using namespace vornmark::server;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const SubmissionCheck check = parse_submission(text);
    if (check.ok()) {
        const std::string& name = check.submission.cpu_name;
        if (canonical_cpu_name(name) != name || !cpu_name_rule_broken(name).empty()) std::abort();
        if (cpu_name_key(name).empty() || name.size() > max_cpu_name_bytes) std::abort();
        const Submission& s = check.submission;
        if (implausible(s, BoardRules{}).has_value() != (s.score > 2000LL * s.threads)) std::abort();
    }
    // Bins from the input's bytes: the row read from them counts every run once, kept or left out,
    // and its average lies within the kept scores' range.
    std::vector<ThreadBin> bins;
    for (std::size_t i = 0; i + 3 < size && bins.size() < 64; i += 4) {
        const std::int64_t score = 1 + (data[i] | data[i + 1] << 8 | data[i + 2] << 16) % max_score;
        const std::int64_t runs = 1 + data[i + 3] % 7;
        bins.push_back({1 + data[i + 3] % 64, score_bin(score), runs, score * runs});
        if (score < score_bin_floor(score_bin(score)) || score >= score_bin_floor(score_bin(score) + 1)) std::abort();
    }
    std::int64_t total = 0;
    for (const ThreadBin& b : bins) total += b.runs;
    const RowDistribution row = read_distribution(bins, OutlierRule{});
    if (row.runs + row.outliers != total) std::abort();
    if (row.runs > 0 && (row.avg_score < row.edges.front() - 1 || row.avg_score > row.edges.back())) std::abort();
    address_unit(text);
    if (is_valid_utf8(text) && !has_control_characters(text)) {
        const std::string canonical = canonical_cpu_name(text);
        if (canonical_cpu_name(canonical) != canonical) std::abort();
        cpu_name_rule_broken(canonical);
        cpu_name_key(canonical);
    }
    return 0;
}
