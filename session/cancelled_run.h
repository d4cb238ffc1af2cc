#pragma once

#include <cstdint>
#include <string>

// What both front ends say of a run that was cancelled: "Cancelled after 211 of 2040 tiles;
// nothing stored".
std::string cancelled_text(std::int32_t tiles_done, std::int32_t tiles_total);
