#include "ui/leaderboard_status.h"

#include "ui/colours.h"

namespace {

const ImVec4 submit_error_red(0.8f, 0.2f, 0.2f, 1.0f);
const ImVec4 submit_grey(0.5f, 0.5f, 0.5f, 1.0f);
const ImVec4 fetch_error_red(0.6f, 0.2f, 0.2f, 1.0f);

}  // namespace

LeaderboardStatusLine leaderboard_status_line(std::int32_t pending_requests, const std::string& submit_status,
                                              const std::string& fetch_error) {
    if (pending_requests > 0) return {true, "Loading...", teal};
    if (!submit_status.empty()) {
        const bool is_error = submit_status.size() >= 5 && submit_status.find("error") != std::string::npos;
        return {true, submit_status, is_error ? submit_error_red : submit_grey};
    }
    if (!fetch_error.empty()) return {true, fetch_error, fetch_error_red};
    return {};
}
