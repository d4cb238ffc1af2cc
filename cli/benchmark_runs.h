#pragma once

#include "cli/options.h"
#include "net/leaderboard_client.h"
#include "net/leaderboard_setting.h"

namespace vornmark::cli {

// The runner's benchmark runs, one after another through the run controller: each reported as it
// finishes (text or JSON), its image checked, a preset run recorded (history, then the
// leaderboard unless --no-submit), the image written with --image, and with --runs a summary per
// kind; or, with --minutes, the stability test. Ctrl-C cancels the run in progress. Returns the
// exit code.
int run_benchmarks(const Options& options, const LeaderboardSetting& leaderboard);

// Waits for the client's requests to end, so that none of them runs while the next benchmark is
// being measured. A stop signal ends the wait.
void wait_for_requests(const LeaderboardClient& client);

}  // namespace vornmark::cli
