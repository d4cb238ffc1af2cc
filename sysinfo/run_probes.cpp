#include "sysinfo/run_probes.h"

#include <charconv>
#include <cstdint>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace vornmark {

std::optional<ProcessorTimes> parse_processor_times(std::string_view proc_stat, double ticks_per_second) {
    // "cpu  user nice system idle iowait irq softirq steal guest guest_nice"; kernels before 2.6.11
    // stop after softirq. Guest time is already inside user and nice.
    const std::string_view line = proc_stat.substr(0, proc_stat.find('\n'));
    if (line.substr(0, 4) != "cpu " || !(ticks_per_second > 0.0)) return std::nullopt;
    std::vector<std::uint64_t> fields;
    const char* at = line.data() + 4;
    const char* end = line.data() + line.size();
    while (at < end && fields.size() < 8) {
        while (at < end && *at == ' ') ++at;
        if (at == end) break;
        std::uint64_t value = 0;
        const auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc() || (next != end && *next != ' ')) return std::nullopt;
        fields.push_back(value);
        at = next;
    }
    if (fields.size() < 7) return std::nullopt;
    ProcessorTimes times;
    const double busy = static_cast<double>(fields[0] + fields[1] + fields[2] + fields[5] + fields[6]);
    const double idle = static_cast<double>(fields[3] + fields[4]);
    times.has_steal = fields.size() >= 8;
    const double steal = times.has_steal ? static_cast<double>(fields[7]) : 0.0;
    times.busy = busy / ticks_per_second;
    times.steal = steal / ticks_per_second;
    times.total = (busy + idle + steal) / ticks_per_second;
    return times;
}

bool runs_under_hypervisor() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
    return (c & (1u << 31)) != 0;
#else
    return false;
#endif
}

}  // namespace vornmark
