#include "session/cancelled_run.h"

std::string cancelled_text(std::int32_t tiles_done, std::int32_t tiles_total) {
    return "Cancelled after " + std::to_string(tiles_done) + " of " + std::to_string(tiles_total) +
           " tiles; nothing stored";
}
