#pragma once

#include <cstdint>
#include <string>

#include "base/preset.h"

namespace vornmark {

// One finished run as stored in "history.json". Every run the program records renders the preset
// image, so the image settings are the preset's, not taken from the run. The type is kept as the
// file has it: the program writes run_kind_text, but a file may hold other texts, which are shown
// and kept, never counted as either kind.
struct HistoryEntry {
    std::string date;
    std::string cpu;
    std::string type;
    std::int32_t score = 0;
    double time_seconds = 0.0;
    std::int32_t threads = 0;
    std::int32_t resolution_w = preset_width;
    std::int32_t resolution_h = preset_height;
    std::int32_t samples = preset_samples;

    friend bool operator==(const HistoryEntry&, const HistoryEntry&) = default;
};

}  // namespace vornmark
