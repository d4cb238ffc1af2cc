#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/tile_plan.h"
#include "session/run_conditions.h"
#include "sysinfo/run_probes.h"

namespace vornmark {

// Samples the conditions of one run. The machine's and this process's processor times are read
// only at the two ends of the timed span, by the run thread (span_begins, span_ends, through the
// engine's SpanHook); the clock also now and then in between, by the controlling thread (tick).
// The reads are spaced so that they take at most 0.1 % of one core. The controlling thread calls
// begin_run before the run starts and conditions once it has seen the run end, so each side only
// touches its own fields while the run goes on.
class ConditionsSampler {
public:
    // Controlling thread, before the run thread exists.
    void begin_run();
    // Run thread.
    void span_begins(std::int64_t steady_ns);
    void span_ends(std::int64_t steady_ns);
    // Controlling thread, while the run is timed.
    void tick(std::int64_t steady_ns);
    // Controlling thread, after the run has ended: nothing when either end was not sampled.
    std::optional<RunConditions> conditions(std::int32_t threads, std::int32_t hardware_threads,
                                            const std::vector<Tile>& plan) const;

private:
    struct Edge {
        bool taken = false;
        std::int64_t at_ns = 0;
        std::optional<ProcessorTimes> machine;
        std::optional<double> own_seconds;
        std::optional<double> clock_mhz;
    };
    static Edge sample(std::int64_t steady_ns);

    // Run thread's.
    Edge start_;
    Edge end_;
    PowerState power_;
    bool virtual_machine_ = false;

    // Controlling thread's.
    bool clock_readable_ = true;
    std::int64_t next_clock_ns_ = 0;
    double clock_sum_ = 0.0;
    std::int32_t clock_count_ = 0;
    double clock_min_ = 0.0;
};

// The share of the workers' time idle at the end of a run that went from start_ns to end_ns:
// each worker from its last finished tile (or from the start, when it finished none) to the end,
// over threads times the span. Nothing for a span of no length.
std::optional<double> tail_idle_percent(const std::vector<Tile>& plan, std::int32_t threads,
                                        std::int64_t start_ns, std::int64_t end_ns);

}  // namespace vornmark
