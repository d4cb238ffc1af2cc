#include "sysinfo/cpu_topology.h"

#include <set>
#include <utility>

#include "sysinfo/system_files.h"

namespace vornmark {

namespace {

std::string cpu_directory(const std::string& root) {
    return path_under(root, "sys/devices/system/cpu");
}

}  // namespace

std::int32_t count_physical_cores(const std::string& root) {
    std::set<std::pair<std::int64_t, std::int64_t>> cores;
    for (const auto& [number, path] : numbered_entries(cpu_directory(root), "cpu")) {
        const auto package = parse_signed(read_first_line(path + "/topology/physical_package_id"));
        const auto core = parse_signed(read_first_line(path + "/topology/core_id"));
        if (package && core) cores.emplace(*package, *core);
    }
    return static_cast<std::int32_t>(cores.size());
}

std::int32_t count_cpu_directories(const std::string& root) {
    return static_cast<std::int32_t>(numbered_entries(cpu_directory(root), "cpu").size());
}

std::uint64_t parse_cache_size(std::string_view text) {
    text = trim_white_space(text);
    std::uint64_t unit = 1;
    if (!text.empty()) {
        switch (text.back()) {
        case 'K':
        case 'k':
            unit = 1ull << 10;
            break;
        case 'M':
        case 'm':
            unit = 1ull << 20;
            break;
        case 'G':
        case 'g':
            unit = 1ull << 30;
            break;
        default:
            break;
        }
        if (unit != 1) text.remove_suffix(1);
    }
    const auto number = parse_unsigned(text);
    if (!number || *number > UINT64_MAX / unit) return 0;
    return *number * unit;
}

CacheSizes read_cache_sizes(const std::string& root) {
    CacheSizes sizes;
    const std::string directory = path_under(root, "sys/devices/system/cpu/cpu0/cache");
    for (const auto& [number, path] : numbered_entries(directory, "index")) {
        const auto level = parse_unsigned(read_first_line(path + "/level"));
        const std::string type = read_first_line(path + "/type");
        const std::uint64_t size = parse_cache_size(read_first_line(path + "/size"));
        if (!level) continue;
        if (*level == 1 && type == "Data") sizes.l1 = size;
        if (*level == 2) sizes.l2 = size;
        if (*level == 3) sizes.l3 = size;
    }
    return sizes;
}

}  // namespace vornmark
