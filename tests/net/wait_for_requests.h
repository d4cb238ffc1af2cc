#pragma once

#include "net/leaderboard_client.h"
#include "tests/support/wait_until.h"

namespace vornmark {

// Every request started so far has ended, the standing asked after a submission included.
inline bool wait_until_idle(const LeaderboardClient& client) {
    return wait_until(
        [&client] { return client.pending_request_count() == 0 && client.standing_request_count() == 0; });
}

}  // namespace vornmark
