#include "session/time_left.h"

#include <algorithm>

std::optional<double> estimated_seconds_left(std::int32_t tiles_done, std::int32_t tiles_total,
                                             double elapsed_seconds) {
    if (tiles_done <= 0 || tiles_total <= 0) return std::nullopt;
    const double tiles_left = static_cast<double>(std::max(tiles_total - tiles_done, 0));
    return elapsed_seconds * tiles_left / static_cast<double>(tiles_done);
}
