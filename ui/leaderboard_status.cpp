#include "ui/leaderboard_status.h"

#include "ui/colours.h"

LeaderboardStatusLine leaderboard_status_line(std::int32_t pending_requests, const std::string& submit_status,
                                              const std::string& fetch_error) {
    if (pending_requests > 0) return {true, "Loading...", teal};
    if (!submit_status.empty()) {
        const bool is_error = submit_status.size() >= 5 && submit_status.find("error") != std::string::npos;
        return {true, submit_status, is_error ? error_red : label_grey};
    }
    if (!fetch_error.empty()) return {true, fetch_error, dim_error_red};
    return {};
}
