#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vornmark {

// Distinct (physical_package_id, core_id) pairs over sys/devices/system/cpu/cpu<N>/topology.
std::int32_t count_physical_cores(const std::string& root);

// Number of sys/devices/system/cpu/cpu<N> directories.
std::int32_t count_cpu_directories(const std::string& root);

// One instance's size per level in bytes, 0 when not listed.
struct CacheSizes {
    std::uint64_t l1 = 0;
    std::uint64_t l2 = 0;
    std::uint64_t l3 = 0;
};

// From sys/devices/system/cpu/cpu0/cache/index<N> in index order: level 1 counts only as type "Data",
// levels 2 and 3 whatever their type; a later index overwrites an earlier one of the same level.
CacheSizes read_cache_sizes(const std::string& root);

// A sysfs cache size such as "48K", "1280K" or "8M" in bytes; 0 when it cannot be read.
std::uint64_t parse_cache_size(std::string_view text);

}  // namespace vornmark
