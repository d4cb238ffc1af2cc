#include "sysinfo/system_info_rows.h"

#include <cstdio>

std::vector<SystemInfoRow> system_info_rows(const SystemInfo& info) {
    char freq[32];
    std::snprintf(freq, sizeof freq, "%.2f GHz", info.clock_ghz);
    char vram[32];
    std::snprintf(vram, sizeof vram, "%llu MB", static_cast<unsigned long long>(info.vram_mb));
    char ram[64];
    std::snprintf(ram, sizeof ram, "%llu MB", static_cast<unsigned long long>(info.ram_mb));

    return {
        {"CPU", info.cpu_name},
        {"Cores", std::to_string(info.cores) + "C / " + std::to_string(info.hardware_threads) + "T"},
        {"Freq", freq},
        {"L1", info.l1_cache},
        {"L2", info.l2_cache},
        {"L3", info.l3_cache},
        {"", ""},
        {"GPU", info.gpu_name},
        {"VRAM", vram},
        {"RAM", ram},
        {"", ""},
        {"OS", info.os_version},
        {"PC", info.computer_name},
    };
}
