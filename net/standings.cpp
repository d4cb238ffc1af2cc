#include "net/standings.h"

#include "net/printable_text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vornmark {

namespace {

using json = nlohmann::json;

constexpr auto int32_min = std::numeric_limits<std::int32_t>::min();
constexpr auto int32_max = std::numeric_limits<std::int32_t>::max();

// Far beyond any machine: a score of ten million is the whole image in 12 ms; a hundred million runs
// of one processor type would be more than all the runs ever made.
constexpr std::int32_t highest_possible_score = 10'000'000;
constexpr std::int32_t most_possible_runs = 100'000'000;

// Any JSON number (a fraction truncated toward zero) or a boolean as 0 or 1. Values beyond the
// 32-bit range saturate rather than wrap or overflow the conversion.
std::int32_t read_integer(const json& value) {
    switch (value.type()) {
    case json::value_t::number_integer: {
        const auto number = value.get<json::number_integer_t>();
        return static_cast<std::int32_t>(std::clamp<json::number_integer_t>(number, int32_min, int32_max));
    }
    case json::value_t::number_unsigned: {
        const auto number = value.get<json::number_unsigned_t>();
        return number > static_cast<json::number_unsigned_t>(int32_max) ? int32_max
                                                                        : static_cast<std::int32_t>(number);
    }
    case json::value_t::number_float: {
        const double number = std::trunc(value.get<double>());
        if (std::isnan(number)) return 0;
        if (number <= static_cast<double>(int32_min)) return int32_min;
        if (number >= static_cast<double>(int32_max)) return int32_max;
        return static_cast<std::int32_t>(number);
    }
    case json::value_t::boolean:
        return value.get<bool>() ? 1 : 0;
    default:
        // Not a number: let the library raise its own type error.
        return value.get<std::int32_t>();
    }
}

LeaderboardEntry read_row(json& row, std::size_t number) {
    LeaderboardEntry entry;
    entry.cpu = row["cpu"].get<std::string>();
    entry.avg_score = read_integer(row["avg_score"]);
    entry.runs = read_integer(row["runs"]);
    const std::string where = "row " + std::to_string(number) + " ";
    if (entry.avg_score < 0 || entry.avg_score > highest_possible_score)
        throw ImpossibleStandings(where + "has the score " + std::to_string(entry.avg_score));
    if (entry.runs < 1 || entry.runs > most_possible_runs)
        throw ImpossibleStandings(where + "counts " + std::to_string(entry.runs) + " runs");
    return entry;
}

}  // namespace

std::vector<LeaderboardEntry> read_standings(json& reply) {
    if (!reply.is_object() || !reply.contains("leaderboard"))
        throw ImpossibleStandings("no \"leaderboard\" list");
    json& board = reply["leaderboard"];
    if (!board.is_array()) throw ImpossibleStandings("\"leaderboard\" is not a list");
    std::vector<LeaderboardEntry> rows;
    for (json& row : board) rows.push_back(read_row(row, rows.size() + 1));
    return rows;
}

json parse_reply(std::string body) {
    // The parser would take a NUL byte for the end of the text and ignore what follows.
    std::replace(body.begin(), body.end(), '\0', '\x01');
    return json::parse(body);
}

std::vector<LeaderboardEntry> standings_from_reply(const std::string& body) {
    json reply = parse_reply(body);
    std::vector<LeaderboardEntry> rows = read_standings(reply);
    for (LeaderboardEntry& row : rows) row.cpu = printable_text(row.cpu);
    return rows;
}

}  // namespace vornmark
