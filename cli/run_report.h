#pragma once

#include <optional>
#include <string>

#include "engine/benchmark_config.h"
#include "engine/benchmark_result.h"
#include "session/run_conditions.h"
#include "verify/image_verdict.h"

namespace vornmark::cli {

// One finished run as a line of text: type, score, seconds, threads and date. A run whose image
// is wrong has no score: "no valid score" stands in its place.
std::string result_text(const BenchmarkResult& result, bool custom, const ImageVerdict& verdict);

// One finished run as a single-line JSON object, with the run's settings, the
// image's "image_sha256" and "verified" (true, false, or null when nothing is
// known about the image), and "conditions" (null when they could not be sampled). A wrong image's
// run has "score": null; its time stays.
std::string result_json(const BenchmarkResult& result, const BenchmarkConfig& config, bool custom,
                        const ImageVerdict& verdict, const std::optional<RunConditions>& conditions);

// The verdict on a run's image as lines of text: its SHA-256, then "Verified" or
// the mismatch message with the wrong tiles, or that nothing is known to compare with.
std::string verdict_report(const ImageVerdict& verdict);

// A run's kind and settings: "single: 1920x1080, 128 samples, depth 50, tile 32, 1 thread".
std::string run_description(const BenchmarkConfig& config, bool custom);

// The line announcing a run as it starts: "Running " and its description.
std::string run_heading(const BenchmarkConfig& config, bool custom);

}  // namespace vornmark::cli
