// The history reader: any file, and whatever it reads writes back as the same runs.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "history/history_json.h"

using namespace vornmark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<HistoryEntry> entries;
    if (read_history_json(file, entries) != HistoryReadStatus::Read) return 0;
    std::istringstream saved(write_history_json(entries));
    std::vector<HistoryEntry> read_back;
    if (read_history_json(saved, read_back) != HistoryReadStatus::Read || read_back != entries) std::abort();
    return 0;
}
