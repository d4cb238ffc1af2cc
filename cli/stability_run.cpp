#include "cli/stability_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <system_error>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli/exit_codes.h"
#include "session/stop_signal.h"
#include "sysinfo/run_probes.h"

namespace vornmark::cli {

namespace {

std::string clock_text(double seconds) {
    const auto whole = static_cast<long>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%02ld:%02ld", whole / 60, whole % 60);
    return text;
}

// The processor's clock now and then during the test: every 5 s, far below 0.1 % of a core.
constexpr double clock_interval_seconds = 5.0;

struct ClockSample {
    double seconds;
    double mhz;
};

std::optional<double> mean_clock(const std::vector<ClockSample>& samples, double from, double to) {
    double sum = 0.0;
    int count = 0;
    for (const ClockSample& sample : samples) {
        if (sample.seconds < from || sample.seconds > to) continue;
        sum += sample.mhz;
        ++count;
    }
    if (count == 0) return std::nullopt;
    return sum / count;
}

std::string ghz(const std::optional<double>& mhz) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f GHz", mhz.value_or(0.0) / 1000.0);
    return text;
}

}  // namespace

int run_stability_test(StabilityTest& test, double minutes, bool json) {
    std::FILE* lines = json ? stderr : stdout;
    const double total = minutes * 60.0;
    const double interval = stability_report_interval(total);
    try {
        test.start();
    } catch (const std::system_error& failure) {
        std::fprintf(stderr, "vornmark-cli: could not start the stability test's workers: %s\n",
                     failure.what());
        return exit_run_failed;
    }

    const auto begin = std::chrono::steady_clock::now();
    auto seconds_now = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    };
    std::vector<ThroughputSample> samples{{0.0, 0, 0.0}};
    std::vector<ClockSample> clocks;
    bool clock_readable = true;
    double next_clock = 0.0;
    double next_line = interval;
    double last_line_time = 0.0;
    std::int64_t last_line_tiles = 0;
    double elapsed = 0.0;
    while (!stop_requested()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        elapsed = std::min(seconds_now(), total);
        const StabilityCounts counts = test.counts();
        if (elapsed - samples.back().seconds >= 0.5 || elapsed >= total)
            samples.push_back({elapsed, counts.tiles_checked, counts.work_checked});
        if (clock_readable && elapsed >= next_clock) {
            const std::optional<double> mhz = read_processor_clock_mhz();
            clock_readable = mhz.has_value();
            if (mhz) clocks.push_back({elapsed, *mhz});
            next_clock = elapsed + clock_interval_seconds;
        }
        if (elapsed >= next_line || elapsed >= total) {
            const double rate =
                elapsed > last_line_time
                    ? static_cast<double>(counts.tiles_checked - last_line_tiles) / (elapsed - last_line_time)
                    : 0.0;
            std::fprintf(lines, "[%s] %.2f tiles/s, %lld tiles checked, %lld errors\n",
                         clock_text(elapsed).c_str(), rate, static_cast<long long>(counts.tiles_checked),
                         static_cast<long long>(counts.errors));
            std::fflush(lines);
            last_line_time = elapsed;
            last_line_tiles = counts.tiles_checked;
            next_line += interval;
        }
        if (elapsed >= total) break;
    }
    // Tiles still in flight are finished and checked by finish(); they count.
    StabilityReport report = test.finish(elapsed);
    samples.push_back({elapsed, report.tiles_checked, report.work_checked});

    const double window = std::min(60.0, elapsed);
    const double first = throughput_between(samples, 0.0, window);
    const double last = throughput_between(samples, elapsed - window, elapsed);
    SustainedSpeed speed;
    speed.first_work_rate = work_rate_between(samples, 0.0, window);
    speed.last_work_rate = work_rate_between(samples, elapsed - window, elapsed);
    speed.first_clock_mhz = mean_clock(clocks, 0.0, window);
    speed.last_clock_mhz = mean_clock(clocks, elapsed - window, elapsed);
    if (json)
        std::printf("%s\n", stability_json(report, minutes, first, last, stop_requested(), speed).c_str());
    else
        std::fputs(stability_text(report, first, last, speed).c_str(), stdout);
    std::fflush(stdout);
    if (report.errors > 0) return exit_wrong_image;
    return stop_requested() ? exit_stopped() : exit_ok;
}

std::string sustained_text(const StabilityReport& report, const SustainedSpeed& speed) {
    if (report.seconds < 60.0 || !(speed.first_work_rate > 0.0)) return {};
    char text[256];
    const std::string clocks = speed.first_clock_mhz && speed.last_clock_mhz
                                   ? "clock " + ghz(speed.first_clock_mhz) + " in the first minute, " +
                                         ghz(speed.last_clock_mhz) + " in the last"
                                   : "clock not available";
    std::snprintf(text, sizeof text, "sustained: %.0f %% of the first minute's speed (%s%s)",
                  100.0 * speed.last_work_rate / speed.first_work_rate, clocks.c_str(),
                  report.work_weighted ? "" : "; tiles counted alike: no work table for this image");
    return text;
}

std::string stability_text(const StabilityReport& report, double first_minute, double last_minute,
                           const SustainedSpeed& speed) {
    std::string text;
    char line[512];
    std::snprintf(line, sizeof line, "Stability test: %lld tiles checked in %.1f s, %lld wrong\n",
                  static_cast<long long>(report.tiles_checked), report.seconds,
                  static_cast<long long>(report.errors));
    text += line;
    if (report.seconds < 60.0) {
        // Shorter than a minute: the first and the last minute would both be the whole test.
        std::snprintf(line, sizeof line, "Throughput: %.2f tiles/s over the whole %.1f s\n", first_minute,
                      report.seconds);
    } else {
        const double change = first_minute > 0.0 ? (last_minute / first_minute - 1.0) * 100.0 : 0.0;
        std::snprintf(line, sizeof line,
                      "Throughput: first minute %.2f tiles/s, last minute %.2f tiles/s (%+.1f%%)\n",
                      first_minute, last_minute, change);
    }
    text += line;
    if (const std::string sustained = sustained_text(report, speed); !sustained.empty())
        text += sustained + "\n";
    for (std::size_t w = 0; w < report.tiles_per_worker.size(); ++w) {
        std::snprintf(line, sizeof line, "Worker %zu: %lld tiles, %lld wrong\n", w,
                      static_cast<long long>(report.tiles_per_worker[w]),
                      static_cast<long long>(report.errors_per_worker[w]));
        text += line;
    }
    if (report.compared_with_known_image) {
        text += "Every tile was compared with its known-good digest.\n";
    } else {
        std::snprintf(
            line, sizeof line,
            "Tiles compared with their first rendering; %d of %d were rendered by two different workers.\n",
            report.tiles_seen_by_two_workers, report.tiles_in_plan);
        text += line;
    }
    if (report.errors > 0) {
        text += std::string(mismatch_text) + "\n";
        text += "Wrong tiles: " + wrong_tiles_text(report.wrong_tiles) + "\n";
    }
    return text;
}

std::string stability_json(const StabilityReport& report, double minutes, double first_minute,
                           double last_minute, bool interrupted, const SustainedSpeed& speed) {
    auto or_null = [](const std::optional<double>& value) {
        return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
    };
    nlohmann::ordered_json wrong = nlohmann::ordered_json::array();
    for (const WrongTile& tile : report.wrong_tiles)
        wrong.push_back({{"tile", tile.index}, {"worker", tile.worker}});
    const nlohmann::ordered_json object = {
        {"minutes", minutes},
        {"seconds", report.seconds},
        {"interrupted", interrupted},
        {"tiles_checked", report.tiles_checked},
        {"errors", report.errors},
        {"tiles_per_worker", report.tiles_per_worker},
        {"errors_per_worker", report.errors_per_worker},
        {"first_minute_tiles_per_second", first_minute},
        {"last_minute_tiles_per_second", last_minute},
        {"work_weighted", report.work_weighted},
        {"first_minute_work_per_second", speed.first_work_rate},
        {"last_minute_work_per_second", speed.last_work_rate},
        {"sustained_percent",
         speed.first_work_rate > 0.0
             ? nlohmann::ordered_json(100.0 * speed.last_work_rate / speed.first_work_rate)
             : nlohmann::ordered_json(nullptr)},
        {"first_minute_clock_mhz", or_null(speed.first_clock_mhz)},
        {"last_minute_clock_mhz", or_null(speed.last_clock_mhz)},
        {"compared_with_known_image", report.compared_with_known_image},
        {"tiles", report.tiles_in_plan},
        {"tiles_rendered_by_two_workers", report.tiles_seen_by_two_workers},
        {"wrong_tiles", wrong},
    };
    return object.dump();
}

}  // namespace vornmark::cli
