#include "session/run_texts.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "session/run_controller.h"

namespace vornmark {

std::optional<TimeLeft> estimated_time_left(double work_done, double work_total, double elapsed_seconds,
                                            bool weighted) {
    if (!(work_done > 0.0) || !(work_total > 0.0)) return std::nullopt;
    const double left = std::max(work_total - work_done, 0.0);
    return TimeLeft{elapsed_seconds * left / work_done, !weighted};
}

std::optional<TimeLeft> estimated_time_left(const RunProgress& progress) {
    if (!progress.running || !progress.timing) return std::nullopt;
    return estimated_time_left(progress.work_done, progress.work_total, progress.seconds,
                               progress.work_weighted);
}

std::string clock_text(double seconds) {
    // Whole seconds, rounded; a value too large for any run is held at 9999 hours.
    const double rounded = std::clamp(std::round(seconds), 0.0, 9999.0 * 3600.0);
    const auto total = static_cast<std::int64_t>(std::isnan(rounded) ? 0.0 : rounded);
    const std::int64_t hours = total / 3600;
    const std::int64_t minutes = total / 60 % 60;
    const std::int64_t secs = total % 60;
    char text[32];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(hours),
                      static_cast<long long>(minutes), static_cast<long long>(secs));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(minutes),
                      static_cast<long long>(secs));
    return text;
}

std::string time_left_text(const TimeLeft& left) {
    return (left.approximate ? "about " : "") + clock_text(left.seconds) + " left";
}

std::string progress_text(ProgressLayout layout, std::int32_t tiles_done, std::int32_t tiles_total,
                          double elapsed_seconds, const std::optional<TimeLeft>& left) {
    char text[128];
    if (layout == ProgressLayout::Window) {
        // The share in single precision, as the bar beside the line fills.
        const float fraction =
            tiles_total != 0 ? static_cast<float>(tiles_done) / static_cast<float>(tiles_total) : 0.0f;
        std::snprintf(text, sizeof text, "%d / %d tiles  |  %.1f%%  |  %.1fs", tiles_done, tiles_total,
                      static_cast<double>(fraction * 100.0f), elapsed_seconds);
        return left ? text + std::string("  |  ") + time_left_text(*left) : std::string(text);
    }
    const double fraction = tiles_total > 0 ? static_cast<double>(tiles_done) / tiles_total : 0.0;
    std::snprintf(text, sizeof text, "%d/%d tiles  %5.1f%%  elapsed %.1f s  ", tiles_done, tiles_total,
                  fraction * 100.0, elapsed_seconds);
    return text + (left ? time_left_text(*left) : std::string("left --"));
}

std::string progress_text(ProgressLayout layout, const RunProgress& progress) {
    return progress_text(layout, progress.tiles_done, progress.tiles_total, progress.seconds,
                         estimated_time_left(progress));
}

std::string cancelled_text(std::int32_t tiles_done, std::int32_t tiles_total) {
    return "Cancelled after " + std::to_string(tiles_done) + " of " + std::to_string(tiles_total) +
           " tiles; nothing stored";
}

}  // namespace vornmark
