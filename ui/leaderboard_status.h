#pragma once

#include <cstdint>
#include <string>

#include <imgui.h>

// What the leaderboard panel's status line shows: "Loading..." while requests
// are in flight, else the last submission's status, else the last fetch error.
struct LeaderboardStatusLine {
    bool shown = false;
    std::string text;
    ImVec4 colour;
};

LeaderboardStatusLine leaderboard_status_line(std::int32_t pending_requests, const std::string& submit_status,
                                              const std::string& fetch_error);
