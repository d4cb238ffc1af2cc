#include "session/conditions_sampler.h"

#include <algorithm>

#include "engine/steady_clock.h"
#include "net/printable_text.h"

namespace vornmark {

namespace {

// The clock is read at most once a second, and never more often than a thousand times the last
// read took: at most 0.1 % of one core, also where reading every processor's clock is slow.
constexpr std::int64_t clock_interval_ns = 1'000'000'000;
constexpr std::int64_t cost_factor = 1000;

}  // namespace

void ConditionsSampler::begin_run() {
    start_ = {};
    end_ = {};
    clock_readable_ = true;
    next_clock_ns_ = 0;
    clock_sum_ = 0.0;
    clock_count_ = 0;
    clock_min_ = 0.0;
}

ConditionsSampler::Edge ConditionsSampler::sample(std::int64_t steady_ns) {
    Edge edge;
    edge.taken = true;
    edge.at_ns = steady_ns;
    edge.machine = read_processor_times();
    edge.own_seconds = read_own_processor_seconds();
    edge.clock_mhz = read_processor_clock_mhz();
    return edge;
}

void ConditionsSampler::span_begins(std::int64_t steady_ns) {
    start_ = sample(steady_ns);
    power_ = read_power_state();
    virtual_machine_ = runs_under_hypervisor();
}

void ConditionsSampler::span_ends(std::int64_t steady_ns) {
    end_ = sample(steady_ns);
}

void ConditionsSampler::tick(std::int64_t steady_ns) {
    if (!clock_readable_ || steady_ns < next_clock_ns_) return;
    if (next_clock_ns_ == 0) {
        // The first tick of a run only schedules: the start has its own reading.
        next_clock_ns_ = steady_ns + clock_interval_ns;
        return;
    }
    const std::optional<double> mhz = read_processor_clock_mhz();
    const std::int64_t cost = steady_now_ns() - steady_ns;
    next_clock_ns_ = steady_ns + std::max(clock_interval_ns, cost * cost_factor);
    if (!mhz) {
        clock_readable_ = false;
        return;
    }
    clock_min_ = clock_count_ == 0 ? *mhz : std::min(clock_min_, *mhz);
    clock_sum_ += *mhz;
    ++clock_count_;
}

std::optional<RunConditions> ConditionsSampler::conditions(std::int32_t threads,
                                                           std::int32_t hardware_threads,
                                                           const std::vector<Tile>& plan) const {
    if (!start_.taken || !end_.taken || !start_.machine || !end_.machine) return std::nullopt;
    RunConditions c;
    c.threads = threads;
    c.hardware_threads = hardware_threads;
    const double total = end_.machine->total - start_.machine->total;
    if (total > 0.0) {
        const double busy = end_.machine->busy - start_.machine->busy;
        const double own =
            start_.own_seconds && end_.own_seconds ? *end_.own_seconds - *start_.own_seconds : 0.0;
        // The two clocks count differently (ticks against exact times): a little negative is none.
        c.others_percent = std::max(0.0, 100.0 * (busy - own) / total);
        if (end_.machine->has_steal && start_.machine->has_steal)
            c.steal_percent = std::max(0.0, 100.0 * (end_.machine->steal - start_.machine->steal) / total);
    } else if (end_.machine->has_steal) {
        c.steal_percent = 0.0;  // too short for the counters to move
    }

    if (start_.clock_mhz) {
        double sum = clock_sum_;
        std::int32_t count = clock_count_;
        double low = clock_min_;
        if (end_.clock_mhz) {
            low = count == 0 ? *end_.clock_mhz : std::min(low, *end_.clock_mhz);
            sum += *end_.clock_mhz;
            ++count;
        }
        if (count > 0) {
            c.clock_start_mhz = start_.clock_mhz;
            c.clock_mean_mhz = sum / count;
            c.clock_min_mhz = std::min(low, *start_.clock_mhz);
        }
    }
    c.on_battery = power_.on_battery;
    c.power_policy = printable_text(power_.policy);  // the platform's own text
    c.power_policy_name = std::string(power_policy_name());
    c.virtual_machine = virtual_machine_;
    if (threads > 1) c.tail_percent = tail_idle_percent(plan, threads, start_.at_ns, end_.at_ns);
    judge_conditions(c);
    return c;
}

std::optional<double> tail_idle_percent(const std::vector<Tile>& plan, std::int32_t threads,
                                        std::int64_t start_ns, std::int64_t end_ns) {
    if (threads < 1 || end_ns <= start_ns) return std::nullopt;
    std::vector<std::int64_t> last(static_cast<std::size_t>(threads), start_ns);
    for (const Tile& tile : plan) {
        if (tile.worker < 0 || tile.worker >= threads || tile.finished_ns == 0) continue;
        auto& worker_last = last[static_cast<std::size_t>(tile.worker)];
        worker_last = std::max(worker_last, std::min(tile.finished_ns, end_ns));
    }
    double idle = 0.0;
    for (const std::int64_t at : last) idle += static_cast<double>(end_ns - at);
    return 100.0 * idle / (static_cast<double>(threads) * static_cast<double>(end_ns - start_ns));
}

}  // namespace vornmark
