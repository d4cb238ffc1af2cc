#include "ui/cpu_monitor.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace vornmark {

namespace {

constexpr float new_value_weight = 0.15f;
constexpr float old_average_weight = 0.85f;

// The first line of /proc/stat: "cpu  user nice system idle iowait irq softirq
// steal guest guest_nice". Older kernels stop after fewer fields; the missing
// ones count as 0. guest and guest_nice are ignored: they are inside user.
constexpr int fields_used = 8;
constexpr int fields_required = 4;

std::string_view aggregate_cpu_line(std::string_view text) {
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.size() > 3 && line.substr(0, 3) == "cpu" && (line[3] == ' ' || line[3] == '\t')) return line;
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return {};
}

}  // namespace

bool parse_proc_stat(std::string_view text, SystemTimes& out) {
    std::string_view line = aggregate_cpu_line(text);
    if (line.empty()) return false;
    line.remove_prefix(3);

    std::uint64_t fields[fields_used] = {};
    int parsed = 0;
    const char* p = line.data();
    const char* end = line.data() + line.size();
    while (parsed < fields_used) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r')) ++p;
        if (p == end) break;
        std::uint64_t value = 0;
        auto [next, ec] = std::from_chars(p, end, value);
        if (ec != std::errc()) return false;
        fields[parsed++] = value;
        p = next;
        if (p < end && *p != ' ' && *p != '\t' && *p != '\r') return false;
    }
    if (parsed < fields_required) return false;

    const std::uint64_t user = fields[0], nice = fields[1], system = fields[2], idle = fields[3];
    const std::uint64_t iowait = fields[4], irq = fields[5], softirq = fields[6], steal = fields[7];
    out.idle = idle + iowait;
    out.kernel = out.idle + system + irq + softirq + steal;
    out.user = user + nice;
    return true;
}

void cpu_monitor_record(CpuMonitor& m, const SystemTimes& reading) {
    // Differences in signed arithmetic: the kernel's iowait (and with it the
    // sums) may step backwards a little, which must not wrap into a huge value
    // and show as a spike to 100 %.
    const auto total =
        static_cast<std::int64_t>((reading.kernel + reading.user) - (m.prev_kernel + m.prev_user));
    const auto idle = static_cast<std::int64_t>(reading.idle - m.prev_idle);
    float u = 0.0f;
    if (total > 0) u = static_cast<float>(total - idle) / static_cast<float>(total) * 100.0f;
    if (u >= 100.0f) u = 100.0f;
    if (u < 0.0f) u = 0.0f;

    m.sample_count += 1;
    m.sum += u;
    m.smoothed = u * new_value_weight + m.smoothed * old_average_weight;
    m.ring[m.write_index] = m.smoothed;
    m.write_index = (m.write_index + 1) % CpuMonitor::ring_size;
    if (m.count < CpuMonitor::ring_size) m.count += 1;
}

void cpu_monitor_sample(CpuMonitor& m, bool running, double now,
                        const std::function<bool(SystemTimes&)>& read_times) {
    if (!running) m.active = false;
    if (running && !m.active) {
        m.write_index = 0;
        m.count = 0;
        std::fill(std::begin(m.ring), std::end(m.ring), 0.0f);
        m.active = true;
        m.first_sample_pending = true;
        m.smoothed = 0.0f;
        m.last_sample_time = 0.0;
        m.sum = 0.0;
        m.sample_count = 0;
    }
    if (!m.active) return;

    if (!m.first_sample_pending && now - m.last_sample_time < CpuMonitor::sample_interval) return;
    m.last_sample_time = now;

    SystemTimes reading;
    if (!read_times(reading)) return;
    if (!m.first_sample_pending) cpu_monitor_record(m, reading);
    m.prev_idle = reading.idle;
    m.prev_kernel = reading.kernel;
    m.prev_user = reading.user;
    m.first_sample_pending = false;
}

std::int32_t cpu_monitor_oldest_slot(const CpuMonitor& m) {
    return m.count >= CpuMonitor::ring_size ? m.write_index : 0;
}

double cpu_monitor_average(const CpuMonitor& m) {
    return m.sample_count > 0 ? m.sum / m.sample_count : 0.0;
}

}  // namespace vornmark
