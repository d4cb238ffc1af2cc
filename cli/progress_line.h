#pragma once

#include <cstdint>
#include <string>

// "  123/2040 tiles   6.0%  elapsed 12.3 s  left 188 s": done of total, percent,
// elapsed seconds and the time left, estimated from the rate so far.
std::string progress_text(std::int32_t tiles_done, std::int32_t tiles_total, double elapsed_seconds);
