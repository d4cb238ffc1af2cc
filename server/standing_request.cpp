#include "server/standing_request.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "server/cpu_name.h"
#include "server/submission.h"

namespace vornmark::server {

namespace {

using json = nlohmann::json;

StandingCheck refused(std::string message) {
    StandingCheck check;
    check.error = std::move(message);
    return check;
}

// A whole number from 1 to max_score, digits only.
std::optional<std::int64_t> score_from(const std::string& text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > max_score) return std::nullopt;
    return value;
}

}  // namespace

StandingCheck check_standing_query(const std::optional<std::string>& type,
                                   const std::optional<std::string>& cpu,
                                   const std::optional<std::string>& score) {
    if (type != "single" && type != "multi") return refused("type must be \"single\" or \"multi\"");
    if (!cpu) return refused("score needs cpu, the processor's name");
    const std::string& sent = *cpu;
    if (sent.empty()) return refused("cpu must not be empty");
    if (!is_valid_utf8(sent)) return refused("cpu must be valid UTF-8");
    if (has_control_characters(sent)) return refused("cpu must not contain control characters");
    StandingCheck check;
    StandingParameters& p = check.parameters;
    p.type = *type;
    p.cpu = canonical_cpu_name(sent);
    if (p.cpu.empty()) return refused("cpu must not be empty");
    if (p.cpu.size() > max_cpu_name_bytes)
        return refused("cpu must be at most " + std::to_string(max_cpu_name_bytes) + " bytes");
    if (std::string rule = cpu_name_rule_broken(p.cpu); !rule.empty()) return refused("cpu must " + rule);
    p.cpu_key = cpu_name_key(p.cpu);
    if (score) {
        p.score = score_from(*score);
        if (!p.score) return refused("score must be a whole number from 1 to " + std::to_string(max_score));
    }
    return check;
}

std::vector<ScoreBin> score_bins_of(const RowDistribution& distribution) {
    std::vector<ScoreBin> bins;
    if (distribution.empty()) return bins;
    for (std::size_t i = 0; i < distribution.counts.size(); ++i)
        bins.push_back({distribution.edges[i], distribution.edges[i + 1], distribution.counts[i]});
    // A bin of one run whose stored score is plain (none of the row's other runs in that bin, an
    // outlier left out, shares it) holds that very score.
    for (const ThreadBin& stored : distribution.bins) {
        if (stored.runs != 1) continue;
        for (ScoreBin& bin : bins) {
            if (bin.count == 1 && stored.score_sum >= bin.low && stored.score_sum < bin.high)
                bin.exact = stored.score_sum;
        }
    }
    return bins;
}

RowDistribution shown_spread(const RowDistribution& distribution) {
    RowDistribution shown = distribution;
    ScoreHistogram histogram = rebinned(score_bins_of(distribution));
    shown.edges = std::move(histogram.edges);
    shown.counts = std::move(histogram.counts);
    return shown;
}

std::string standing_reply_json(const ProcessorStanding& standing, const std::string& cpu,
                                std::optional<std::int64_t> score, std::optional<double> faster_than_all) {
    json reply = json::object();
    const bool has_runs = standing.row && standing.row->runs > 0;
    reply["cpu"] = standing.row ? standing.row->cpu : cpu;
    reply["runs"] = has_runs ? standing.row->runs : 0;
    if (has_runs) reply["avg_score"] = standing.row->avg_score;
    if (score && has_runs) {
        if (const std::optional<double> beaten = faster_than_percent(standing.bins, *score))
            reply["faster_than"] = one_decimal(*beaten);
    }
    if (faster_than_all) reply["faster_than_all"] = one_decimal(*faster_than_all);
    if (standing.rank) reply["rank"] = *standing.rank;
    reply["rows"] = standing.rows;
    if (has_runs && !standing.spread.empty()) {
        // The edges are whole scores (rebinned): written as such.
        std::vector<std::int64_t> edges;
        for (const double edge : standing.spread.edges) edges.push_back(std::llround(edge));
        reply["histogram"] = {{"edges", edges}, {"counts", standing.spread.counts}};
        reply["median"] = static_cast<std::int64_t>(std::llround(standing.spread.median));
        reply["p10"] = static_cast<std::int64_t>(std::llround(standing.spread.p10));
        reply["p90"] = static_cast<std::int64_t>(std::llround(standing.spread.p90));
    }
    return reply.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace vornmark::server
