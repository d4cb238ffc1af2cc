#include "sysinfo/system_info_rows.h"

#include <cstdio>

namespace vornmark {

namespace {

// What a row shows when its probe found nothing, as the cache rows already do.
constexpr const char* not_available = "N/A";

std::string text_or_na(const std::string& text) {
    return text.empty() ? not_available : text;
}

std::string count_or_na(std::int32_t count, const char* unit) {
    return count > 0 ? std::to_string(count) + unit : not_available;
}

std::string megabytes_or_na(std::uint64_t megabytes) {
    if (megabytes == 0) return not_available;
    char text[32];
    std::snprintf(text, sizeof text, "%llu MB", static_cast<unsigned long long>(megabytes));
    return text;
}

std::string cores_text(const SystemInfo& info) {
    if (info.cores <= 0 && info.hardware_threads <= 0) return not_available;
    return count_or_na(info.cores, "C") + " / " + count_or_na(info.hardware_threads, "T");
}

std::string clock_text(double ghz) {
    if (!(ghz > 0.0)) return not_available;
    char text[32];
    std::snprintf(text, sizeof text, "%.2f GHz", ghz);
    return text;
}

}  // namespace

std::vector<SystemInfoRow> system_info_rows(const SystemInfo& info) {
    return {
        {"CPU", text_or_na(info.cpu_name)},
        {"Cores", cores_text(info)},
        {"Freq", clock_text(info.clock_ghz)},
        {"L1", text_or_na(info.l1_cache)},
        {"L2", text_or_na(info.l2_cache)},
        {"L3", text_or_na(info.l3_cache)},
        {"", ""},
        {"GPU", text_or_na(info.gpu_name)},
        {"VRAM", megabytes_or_na(info.vram_mb)},
        {"RAM", megabytes_or_na(info.ram_mb)},
        {"", ""},
        {"OS", text_or_na(info.os_version)},
        {"PC", text_or_na(info.computer_name)},
    };
}

}  // namespace vornmark
