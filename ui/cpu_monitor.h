#pragma once

#include <cstdint>

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
