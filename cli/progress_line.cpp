#include "cli/progress_line.h"

#include <cstdio>

std::string progress_text(std::int32_t tiles_done, std::int32_t tiles_total, double elapsed_seconds,
                          const std::optional<TimeLeft>& left) {
    const double fraction = tiles_total > 0 ? static_cast<double>(tiles_done) / tiles_total : 0.0;
    char text[128];
    std::snprintf(text, sizeof text, "%d/%d tiles  %5.1f%%  elapsed %.1f s  ", tiles_done, tiles_total,
                  fraction * 100.0, elapsed_seconds);
    return text + (left ? time_left_text(*left) : std::string("left --"));
}
