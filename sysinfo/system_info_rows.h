#pragma once

#include <string>
#include <vector>

#include "sysinfo/system_info.h"

namespace vornmark {

struct SystemInfoRow {
    std::string label;  // empty for a spacing row
    std::string value;
};

// The panel's rows in order: CPU, Cores, Freq, L1, L2, L3, (spacing), GPU, VRAM, RAM, (spacing), OS, PC.
// A value the probes could not find reads "N/A" (a part of "Cores" alone when only one count is missing).
std::vector<SystemInfoRow> system_info_rows(const SystemInfo& info);

}  // namespace vornmark
