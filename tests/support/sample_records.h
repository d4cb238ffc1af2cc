#pragma once

// The records tests build again and again: a stored run and a fully described machine.

#include <cstdint>
#include <string>
#include <utility>

#include "history/history_entry.h"
#include "sysinfo/system_info.h"

namespace vornmark {

// A finished run as the history stores it: "Test CPU", one thread for "single" and eight otherwise.
inline HistoryEntry sample_run(std::string type, std::int32_t score, double seconds = 10.0,
                               std::string date = "2026-04-18T07:40:53") {
    HistoryEntry entry;
    entry.date = std::move(date);
    entry.cpu = "Test CPU";
    entry.type = std::move(type);
    entry.score = score;
    entry.time_seconds = seconds;
    entry.threads = entry.type == "single" ? 1 : 8;
    return entry;
}

// A machine with every field set, each value distinct from the others.
inline SystemInfo sample_machine() {
    SystemInfo info;
    info.cpu_name = "Example 8-Core Processor";
    info.cores = 8;
    info.hardware_threads = 16;
    info.clock_ghz = 3.6;
    info.l1_cache = "48 KB";
    info.l2_cache = "1 MB";
    info.l3_cache = "32 MB";
    info.gpu_name = "Example Graphics";
    info.vram_mb = 8192;
    info.ram_mb = 32768;
    info.os_version = "Debian GNU/Linux 12";
    info.computer_name = "bench-pc";
    return info;
}

}  // namespace vornmark
