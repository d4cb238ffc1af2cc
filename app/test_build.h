#pragma once

#include <memory>

struct AppState;

// Only in `vornmark-e2e`, the program as the end-to-end tests run it: a tiny
// benchmark instead of the preset (or WIDTHxHEIGHTxSAMPLES from VORNMARK_TEST_RUN), and the leaderboard server named by
// VORNMARK_TEST_LEADERBOARD_HOST, _PORT and _CA (a test server on loopback with
// its throw-away CA). The history stays beside the executable.
std::unique_ptr<AppState> make_test_build_app_state();
