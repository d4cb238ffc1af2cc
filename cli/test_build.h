#pragma once

#include <vector>

#include "cli/options.h"
#include "net/http.h"

// Only in `vornmark-cli-e2e`, the runner as the end-to-end tests run it: the preset runs render a
// tiny image (and are still recorded and submitted as preset runs), and the leaderboard server is
// the one named by VORNMARK_TEST_LEADERBOARD_HOST, _PORT and _CA (a test server on loopback with
// its throw-away CA). The history stays beside the executable.
HttpEndpoint test_build_endpoint();
void shrink_to_test_size(std::vector<PlannedRun>& runs);
