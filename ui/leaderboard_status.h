#pragma once

#include <cstdint>
#include <string>

#include <imgui.h>

#include "net/leaderboard_client.h"

namespace vornmark {

// What the leaderboard panel's status line shows: "Loading..." while requests are in flight,
// else the newest outcome, a submission's status or a failed fetch's message, coloured by the outcome.
struct LeaderboardStatusLine {
    bool shown = false;
    std::string text;
    ImVec4 colour;
};

LeaderboardStatusLine leaderboard_status_line(std::int32_t pending_requests, const LatestOutcome& latest);

}  // namespace vornmark
