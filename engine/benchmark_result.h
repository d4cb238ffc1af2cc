#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "base/run_kind.h"

namespace vornmark {

// What a finished (not cancelled) run leaves behind.
struct BenchmarkResult {
    RunKind type = RunKind::Single;
    std::int32_t score = 0;
    double time_seconds = 0.0;
    std::int32_t threads = 0;
    std::string date;
};

// Nanoseconds of the timed span as seconds: ns * 1e-9 (a multiplication, by design).
double elapsed_seconds(std::int64_t ns);

// 120000 / seconds truncated toward zero. Quotients beyond the int32 range
// (runs shorter than about 56 microseconds, or a non-positive time) give INT32_MAX.
std::int32_t score_for_time(double seconds);

// Local calendar time as "%Y-%m-%dT%H:%M:%S"; empty if the time cannot be converted.
std::string format_local_date(std::time_t time);

}  // namespace vornmark
