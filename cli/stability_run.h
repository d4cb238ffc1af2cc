#pragma once

#include <optional>
#include <string>
#include <vector>

#include "session/stability_test.h"

namespace vornmark::cli {

// The stability test as the runner does it: `minutes` of the test's tiles on all
// its workers, a progress line per interval, then the summary (text on stdout,
// or with json the lines on stderr and one object on stdout). A stop signal
// (Ctrl-C, SIGTERM) ends it early with the summary so far. Returns the exit
// code: 0; 3 when any tile was wrong; 128 + the signal when stopped without an
// error (Ctrl-C: 130); 1 when it could not start.
int run_stability_test(StabilityTest& test, double minutes, bool json);

// The speed of the first and the last minute, each tile weighed by its work, and the processor's
// clock in each (nothing where the platform does not tell).
struct SustainedSpeed {
    double first_work_rate = 0.0;  // mean tiles per second
    double last_work_rate = 0.0;
    std::optional<double> first_clock_mhz;
    std::optional<double> last_clock_mhz;
};

// "sustained: 94 % of the first minute's speed (clock 3.40 GHz in the first minute, 3.21 GHz in
// the last)"; for a test shorter than a minute, empty.
std::string sustained_text(const StabilityReport& report, const SustainedSpeed& speed);

// The summary as text lines and as one JSON object.
std::string stability_text(const StabilityReport& report, double first_minute, double last_minute,
                           const SustainedSpeed& speed = {});
std::string stability_json(const StabilityReport& report, double minutes, double first_minute,
                           double last_minute, bool interrupted, const SustainedSpeed& speed = {});

}  // namespace vornmark::cli
