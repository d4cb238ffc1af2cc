#pragma once

#include "net/leaderboard_entry.h"

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <vector>

namespace vornmark {

// A standings reply that no leaderboard server means: no "leaderboard" list, or a row whose score
// or run count is negative or beyond what any machine could reach.
class ImpossibleStandings : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the rows of the "leaderboard" list of a standings reply. A row of the wrong shape fails the
// whole conversion with the JSON library's own exception (the lookups insert, so the reply may be
// changed); a reply without the list, or with impossible numbers, with ImpossibleStandings.
std::vector<LeaderboardEntry> read_standings(nlohmann::json& reply);

// A reply body as one JSON value, white space around it allowed; anything else raises the JSON
// library's parse error. A NUL byte counts as the control character it is, not as the end.
nlohmann::json parse_reply(std::string body);

// The rows of a standings reply body (parse_reply, then read_standings), every processor name
// made printable (printable_text): the server's text, shown as it is wherever it is shown.
std::vector<LeaderboardEntry> standings_from_reply(const std::string& body);

}  // namespace vornmark
