#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "session/run_texts.h"

// "510/2040 tiles   25.0%  elapsed 30.0 s  1:30 left": done of total, percent, elapsed seconds
// and the time left ("about 1:30 left" when it is a rough guess, "left --" without one).
std::string progress_text(std::int32_t tiles_done, std::int32_t tiles_total, double elapsed_seconds,
                          const std::optional<TimeLeft>& left);
