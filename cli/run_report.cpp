#include "cli/run_report.h"

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "base/run_kind.h"
#include "cli/conditions_json.h"

namespace vornmark::cli {

std::string result_text(const BenchmarkResult& result, bool custom, const ImageVerdict& verdict) {
    const std::string score =
        verdict.status == ImageStatus::Mismatch ? "no valid score" : "score " + std::to_string(result.score);
    char text[256];
    std::snprintf(text, sizeof text, "%s%s  %s  time %.3f s  threads %d  date %s",
                  std::string(run_kind_text(result.type)).c_str(), custom ? " (custom)" : "", score.c_str(),
                  result.time_seconds, result.threads, result.date.c_str());
    return text;
}

std::string result_json(const BenchmarkResult& result, const BenchmarkConfig& config, bool custom,
                        const ImageVerdict& verdict, const std::optional<RunConditions>& conditions) {
    nlohmann::ordered_json object = {
        {"type", run_kind_text(result.type)},
        {"score", result.score},
        {"time_seconds", result.time_seconds},
        {"threads", result.threads},
        {"date", result.date},
        {"width", config.width},
        {"height", config.height},
        {"samples", config.samples},
        {"max_depth", config.max_depth},
        {"tile_size", config.tile_size},
        {"custom", custom},
    };
    if (verdict.status == ImageStatus::Mismatch) object["score"] = nullptr;
    object["image_sha256"] = digest_hex(verdict.sha256);
    if (verdict.status == ImageStatus::Unchecked)
        object["verified"] = nullptr;
    else
        object["verified"] = verdict.status == ImageStatus::Verified;
    object["conditions"] = conditions ? conditions_json(*conditions) : nlohmann::ordered_json(nullptr);
    return object.dump();
}

std::string verdict_report(const ImageVerdict& verdict) {
    std::string text = "Image SHA-256: " + digest_hex(verdict.sha256) + "\n";
    switch (verdict.status) {
    case ImageStatus::Verified:
        text += std::string(verified_text) + "\n";
        break;
    case ImageStatus::Mismatch:
        text += std::string(mismatch_text) + "\n";
        if (!verdict.wrong_tiles.empty())
            text += "Wrong tiles: " + wrong_tiles_text(verdict.wrong_tiles) + "\n";
        break;
    case ImageStatus::Unchecked:
        text += "Not verified: no known-good image for these settings\n";
        break;
    }
    return text;
}

std::string run_description(const BenchmarkConfig& config, bool custom) {
    char text[256];
    std::snprintf(text, sizeof text, "%s%s: %dx%d, %d samples, depth %d, tile %d, %d thread%s",
                  std::string(run_kind_text(run_kind_for(config.threads))).c_str(), custom ? " (custom)" : "",
                  config.width, config.height, config.samples, config.max_depth, config.tile_size,
                  config.threads, config.threads == 1 ? "" : "s");
    return text;
}

std::string run_heading(const BenchmarkConfig& config, bool custom) {
    return "Running " + run_description(config, custom);
}

}  // namespace vornmark::cli
