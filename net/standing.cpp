#include "net/standing.h"

#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "net/printable_text.h"
#include "net/standings.h"

namespace vornmark {

namespace {

using json = nlohmann::json;

// Beyond any leaderboard: ten million is the highest score accepted, and a hundred million runs of
// one type more than were ever made.
constexpr double highest_score = 10'000'000;
constexpr double most_runs = 100'000'000;

std::string percent_encoded(std::string_view text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                           byte == '~';
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0x0F];
        }
    }
    return out;
}

// A number member, or nothing when it is missing or null; any other JSON type raises the library's
// type error.
std::optional<double> number_member(const json& reply, const char* key) {
    const auto found = reply.find(key);
    if (found == reply.end() || found->is_null()) return std::nullopt;
    const double value = found->get<double>();
    if (!std::isfinite(value)) throw ImpossibleStandings(std::string("\"") + key + "\" is not a number");
    return value;
}

double checked(std::optional<double> value, const char* key, double low, double high) {
    if (!value) return low;
    if (*value < low || *value > high)
        throw ImpossibleStandings(std::string("\"") + key + "\" is " + std::to_string(*value));
    return *value;
}

std::optional<double> checked_optional(std::optional<double> value, const char* key, double low,
                                       double high) {
    if (value) checked(value, key, low, high);
    return value;
}

void read_histogram(const json& reply, Standing& standing) {
    const auto found = reply.find("histogram");
    if (found == reply.end() || found->is_null()) return;
    const json& edges = found->at("edges");
    const json& counts = found->at("counts");
    if (!edges.is_array() || !counts.is_array()) throw ImpossibleStandings("the histogram is not two lists");
    if (counts.size() > max_standing_bins) throw ImpossibleStandings("the histogram has too many bars");
    if (counts.empty() && edges.empty()) return;
    if (edges.size() != counts.size() + 1)
        throw ImpossibleStandings("the histogram's edges do not fit its bars");
    for (const json& edge : edges) {
        const double value = edge.get<double>();
        if (!std::isfinite(value) || value < 0 || value > highest_score + 1 ||
            (!standing.edges.empty() && value <= standing.edges.back()))
            throw ImpossibleStandings("the histogram's edges are not in order");
        standing.edges.push_back(value);
    }
    for (const json& count : counts) {
        const double value = count.get<double>();
        if (!(value >= 0 && value <= most_runs))
            throw ImpossibleStandings("a bar of the histogram is impossible");
        standing.counts.push_back(static_cast<std::int64_t>(value));
    }
}

std::string whole(double value) {
    return std::to_string(std::llround(value));
}

}  // namespace

std::string standing_path(RunKind kind, std::string_view cpu, std::optional<std::int32_t> score) {
    std::string path = "/api.php?type=" + std::string(run_kind_text(kind)) + "&cpu=" + percent_encoded(cpu);
    if (score) path += "&score=" + std::to_string(*score);
    return path;
}

Standing standing_from_reply(const std::string& body) {
    const json reply = parse_reply(body);
    if (!reply.is_object()) throw ImpossibleStandings("the answer is not an object");
    Standing standing;
    standing.cpu = printable_text(reply.at("cpu").get<std::string>());
    standing.runs = static_cast<std::int32_t>(checked(number_member(reply, "runs"), "runs", 0, most_runs));
    standing.avg_score =
        static_cast<std::int32_t>(checked(number_member(reply, "avg_score"), "avg_score", 0, highest_score));
    standing.faster_than = checked_optional(number_member(reply, "faster_than"), "faster_than", 0, 100);
    standing.faster_than_all =
        checked_optional(number_member(reply, "faster_than_all"), "faster_than_all", 0, 100);
    standing.rows = static_cast<std::int32_t>(checked(number_member(reply, "rows"), "rows", 0, most_runs));
    if (const std::optional<double> rank = number_member(reply, "rank"))
        standing.rank = static_cast<std::int32_t>(checked(rank, "rank", 1, standing.rows));
    standing.median = checked_optional(number_member(reply, "median"), "median", 0, highest_score);
    standing.p10 = checked_optional(number_member(reply, "p10"), "p10", 0, highest_score);
    standing.p90 = checked_optional(number_member(reply, "p90"), "p90", 0, highest_score);
    read_histogram(reply, standing);
    return standing;
}

std::string standing_json(const Standing& standing) {
    json out = {{"cpu", standing.cpu}, {"runs", standing.runs}, {"rows", standing.rows}};
    if (standing.runs > 0) out["avg_score"] = standing.avg_score;
    if (standing.faster_than) out["faster_than"] = *standing.faster_than;
    if (standing.faster_than_all) out["faster_than_all"] = *standing.faster_than_all;
    if (standing.rank) out["rank"] = *standing.rank;
    if (standing.has_histogram()) out["histogram"] = {{"edges", standing.edges}, {"counts", standing.counts}};
    if (standing.median) out["median"] = *standing.median;
    if (standing.p10) out["p10"] = *standing.p10;
    if (standing.p90) out["p90"] = *standing.p90;
    return out.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string share_beaten_text(double percent) {
    char text[32];
    // Rounded down: "faster than" never claims more than the runs beaten.
    const double tenths = std::floor(percent * 10.0 + 1e-6) / 10.0;
    if (tenths == std::floor(tenths))
        std::snprintf(text, sizeof text, "%.0f", tenths);
    else
        std::snprintf(text, sizeof text, "%.1f", tenths);
    return text;
}

namespace {

std::string place_text(const Standing& standing) {
    if (!standing.rank) return {};
    return "#" + std::to_string(*standing.rank) + " of " + std::to_string(standing.rows) +
           (standing.rows == 1 ? " processor" : " processors");
}

std::string runs_text(std::int32_t runs) {
    return std::to_string(runs) + (runs == 1 ? " run" : " runs");
}

}  // namespace

std::string standing_line(const Standing& standing) {
    std::string line;
    if (standing.runs > 0 && standing.faster_than)
        line = "Faster than " + share_beaten_text(*standing.faster_than) + " % of " + runs_text(standing.runs) +
               " of this processor";
    else if (standing.runs > 0)
        line = runs_text(standing.runs) + " of this processor";
    else
        line = "No counted runs of this processor yet";
    const std::string place = place_text(standing);
    return place.empty() ? line : line + " \u00B7 " + place;
}

std::string where_you_stand_line(const Standing& standing) {
    std::string line = "Where you stand: ";
    if (standing.runs > 0) {
        line += standing.faster_than ? "faster than " + share_beaten_text(*standing.faster_than) + " % of " : "";
        line += runs_text(standing.runs) + " of " + standing.cpu;
        if (standing.median && standing.p10 && standing.p90)
            line += " (median " + whole(*standing.median) + ", p10\u2013p90 " + whole(*standing.p10) +
                    "\u2013" + whole(*standing.p90) + ")";
    } else {
        line += "no counted runs of " + standing.cpu + " yet";
    }
    const std::string place = place_text(standing);
    return place.empty() ? line : line + "; " + place;
}

std::string standing_unavailable_line(const std::string& why) {
    return "standing not available: " + why;
}

}  // namespace vornmark
