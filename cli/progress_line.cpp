#include "cli/progress_line.h"

#include <cstdio>
#include <optional>

#include "session/time_left.h"

std::string progress_text(std::int32_t tiles_done, std::int32_t tiles_total, double elapsed_seconds) {
    const double fraction = tiles_total > 0 ? static_cast<double>(tiles_done) / tiles_total : 0.0;
    char left[32] = "left --";
    if (const std::optional<double> remaining =
            estimated_seconds_left(tiles_done, tiles_total, elapsed_seconds))
        std::snprintf(left, sizeof left, "left %.0f s", *remaining);
    char text[128];
    std::snprintf(text, sizeof text, "%d/%d tiles  %5.1f%%  elapsed %.1f s  %s", tiles_done, tiles_total,
                  fraction * 100.0, elapsed_seconds, left);
    return text;
}
