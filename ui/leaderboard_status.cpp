#include "ui/leaderboard_status.h"

#include "ui/colours.h"

namespace vornmark {

LeaderboardStatusLine leaderboard_status_line(std::int32_t pending_requests, const LatestOutcome& latest) {
    if (pending_requests > 0) return {true, "Loading...", teal};
    if (latest.text.empty()) return {};
    switch (latest.outcome) {
    case RequestOutcome::Submitting:
    case RequestOutcome::Submitted:
        return {true, latest.text, label_grey};
    case RequestOutcome::SubmitFailed:
        return {true, latest.text, error_red};
    case RequestOutcome::FetchFailed:
        return {true, latest.text, dim_error_red};
    case RequestOutcome::None:
    case RequestOutcome::Fetched:
        break;
    }
    return {};
}

}  // namespace vornmark
