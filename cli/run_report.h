#pragma once

#include <string>

#include "engine/benchmark_config.h"
#include "engine/benchmark_result.h"

// One finished run as a line of text: type, score, seconds, threads and date.
std::string result_text(const BenchmarkResult& result, bool custom);

// One finished run as a single-line JSON object, with the run's settings.
std::string result_json(const BenchmarkResult& result, const BenchmarkConfig& config, bool custom);

// The line announcing a run before it starts.
std::string run_heading(const BenchmarkConfig& config, bool custom);
