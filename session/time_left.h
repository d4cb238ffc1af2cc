#pragma once

#include <cstdint>
#include <optional>

// Seconds a run still needs at the rate of its tiles so far; none before the first tile is done.
std::optional<double> estimated_seconds_left(std::int32_t tiles_done, std::int32_t tiles_total,
                                             double elapsed_seconds);
