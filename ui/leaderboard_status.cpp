#include "ui/leaderboard_status.h"

#include "ui/colours.h"

LeaderboardStatusLine leaderboard_status_line(std::int32_t pending_requests, const LatestOutcome& latest) {
    if (pending_requests > 0) return {true, "Loading...", teal};
    if (latest.text.empty()) return {};
    if (latest.source == LatestOutcome::Source::Submission) {
        const bool is_error = latest.text.size() >= 5 && latest.text.find("error") != std::string::npos;
        return {true, latest.text, is_error ? error_red : label_grey};
    }
    return {true, latest.text, dim_error_red};
}
