#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vornmark {

// One reading of the machine-wide CPU times, in clock ticks, shaped like the
// classic (idle, kernel, user) triple: `kernel` includes `idle`, so
// kernel + user is the whole time and busy time is that minus idle.
struct SystemTimes {
    std::uint64_t idle = 0;    // idle + iowait
    std::uint64_t kernel = 0;  // idle + iowait + system + irq + softirq + steal
    std::uint64_t user = 0;    // user + nice (guest time is already inside user)
};

// Samples the whole machine's CPU utilisation twice a second while a benchmark
// runs and keeps the last 300 smoothed values for the graph.
struct CpuMonitor {
    static constexpr int ring_size = 300;
    static constexpr double sample_interval = 0.5;

    float ring[ring_size] = {};
    std::int32_t write_index = 0;
    std::int32_t count = 0;
    bool active = false;
    bool first_sample_pending = true;
    float smoothed = 0.0f;
    std::uint64_t prev_idle = 0;
    std::uint64_t prev_kernel = 0;
    std::uint64_t prev_user = 0;
    double last_sample_time = 0.0;
    double sum = 0.0;
    std::int32_t sample_count = 0;
};

// Reads the aggregate "cpu" line out of the text of /proc/stat. False when the
// line is missing or malformed.
bool parse_proc_stat(std::string_view text, SystemTimes& out);
// The platform's CPU counters, one file per platform: system_times_linux.cpp (the aggregate line
// of /proc/stat, in clock ticks), system_times_windows.cpp (GetSystemTimes, in 100 ns units).
// False when they cannot be read.
bool read_system_times(SystemTimes& out);
// Linux: the aggregate line of the file at `path` (read_system_times reads /proc/stat).
bool read_proc_stat_file(SystemTimes& out, const std::string& path);

// One sampling step, as the panel runs it at the start of every frame: follows
// the running flag (a new run starts a fresh recording) and, when a reading is
// due, calls `read_times` once and folds the reading in. A failed reading is
// skipped; the next attempt is an interval later.
void cpu_monitor_sample(CpuMonitor& monitor, bool running, double now,
                        const std::function<bool(SystemTimes&)>& read_times);

// Folds one reading into the monitor (after the baseline reading).
void cpu_monitor_record(CpuMonitor& monitor, const SystemTimes& reading);

// Ring slot of the oldest stored value.
std::int32_t cpu_monitor_oldest_slot(const CpuMonitor& monitor);

// Average of the current recording's raw values, 0 without any.
double cpu_monitor_average(const CpuMonitor& monitor);

}  // namespace vornmark
