#pragma once

#include <string>
#include <vector>

#include "session/stability_test.h"

// The stability test as the runner does it: `minutes` of the test's tiles on all
// its workers, a progress line per interval, then the summary (text on stdout,
// or with json the lines on stderr and one object on stdout). A stop signal
// (Ctrl-C, SIGTERM) ends it early with the summary so far. Returns the exit
// code: 0; 3 when any tile was wrong; 128 + the signal when stopped without an
// error (Ctrl-C: 130); 1 when it could not start.
int run_stability_test(StabilityTest& test, double minutes, bool json);

// The summary as text lines and as one JSON object.
std::string stability_text(const StabilityReport& report, double first_minute, double last_minute);
std::string stability_json(const StabilityReport& report, double minutes, double first_minute,
                           double last_minute, bool interrupted);
