#pragma once

#include <vector>

#include "cli/options.h"
#include "engine/benchmark_engine.h"
#include "net/http.h"
#include "session/stability_test.h"
#include "verify/known_image.h"

// Only in `vornmark-cli-e2e`, the runner as the end-to-end tests run it: the preset runs render a
// tiny image (and are still recorded and submitted as preset runs), and the leaderboard server is
// the one named by VORNMARK_TEST_LEADERBOARD_HOST, _PORT and _CA (a test server on loopback with
// its throw-away CA). The history stays beside the executable.
HttpEndpoint test_build_endpoint();
void shrink_to_test_size(std::vector<PlannedRun>& runs);

// The images the test build verifies against: the tiny preset image, rendered once
// here straight through the kernel, as the program knows the real preset's.
std::vector<KnownImage> test_build_known_images();

// With VORNMARK_TEST_FAULT_TILE=N the engine corrupts tile N of every run after
// rendering it, as a faulty core would, so the tests can see a wrong image refused.
void inject_test_fault(BenchmarkEngine& engine);
void inject_test_fault(StabilityTest& test);
