#pragma once

#include "net/leaderboard_entry.h"

#include <nlohmann/json.hpp>

#include <vector>

// Reads the rows under "leaderboard" of a standings reply. The lookups insert (a null root becomes
// an object, missing members become null), so the reply may be changed. Any row of the wrong shape
// fails the whole conversion with the JSON library's own exception.
std::vector<LeaderboardEntry> read_standings(nlohmann::json& reply);
