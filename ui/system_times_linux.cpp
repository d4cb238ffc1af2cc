#include <fstream>
#include <string>

#include "ui/cpu_monitor.h"

namespace vornmark {

bool read_system_times(SystemTimes& out) {
    return read_proc_stat_file(out, "/proc/stat");
}

bool read_proc_stat_file(SystemTimes& out, const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    // The aggregate line comes first; one line is all that is needed.
    std::string line;
    if (!std::getline(file, line)) return false;
    return parse_proc_stat(line, out);
}

}  // namespace vornmark
