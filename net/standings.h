#pragma once

#include "net/leaderboard_entry.h"

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <vector>

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
