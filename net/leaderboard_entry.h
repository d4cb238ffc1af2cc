#pragma once

#include <cstdint>
#include <string>

namespace vornmark {

// One row of the standings, in the server's order.
struct LeaderboardEntry {
    std::string cpu;
    std::int32_t avg_score = 0;
    std::int32_t runs = 0;
};

}  // namespace vornmark
