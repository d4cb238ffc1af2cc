#include <string>

#include "sysinfo/system_info.h"

namespace vornmark {

std::string cache_size_text(std::uint64_t bytes) {
    if (bytes == 0) return "N/A";
    if ((bytes >> 20) != 0) return std::to_string(bytes >> 20) + " MB";
    return std::to_string(bytes >> 10) + " KB";
}

}  // namespace vornmark
