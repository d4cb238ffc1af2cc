// What sampling a run's conditions costs, and how well the others' share follows a known load.
//
//   conditions_bench cost [PAIRS]          runs with and without the sampling, alternated
//   conditions_bench load PERCENT [RUNS]   a run on every thread beside a process that keeps
//                                          PERCENT % of one core busy
//
// Both use the engine as the programs do: the sampled runs through the same span hook and
// ConditionsSampler the RunController uses, polled every 40 ms as the runner polls.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine/benchmark_engine.h"
#include "engine/steady_clock.h"
#include "session/conditions_sampler.h"

namespace vornmark {

namespace {

BenchmarkConfig workload(std::int32_t threads) {
    // A 512th of the preset's work: about 1.6 s on both threads of a quiet 2-core virtual machine.
    return {.samples = 16, .max_depth = 50, .tile_size = 32, .threads = threads, .width = 240, .height = 136};
}

void sample_span(void* context, bool begins, std::int64_t steady_ns) {
    auto& sampler = *static_cast<ConditionsSampler*>(context);
    begins ? sampler.span_begins(steady_ns) : sampler.span_ends(steady_ns);
}

struct Outcome {
    double seconds = 0.0;
    std::optional<RunConditions> conditions;
};

Outcome run_once(BenchmarkEngine& engine, ConditionsSampler* sampler, std::int32_t threads) {
    engine.set_span_hook(sampler ? sample_span : nullptr, sampler);
    if (sampler) sampler->begin_run();
    const std::int64_t launched = steady_now_ns();
    engine.start(workload(threads));
    while (engine.running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        if (sampler && engine.start_time() >= launched) sampler->tick(steady_now_ns());
    }
    Outcome outcome;
    const auto result = engine.take_result();
    if (result) outcome.seconds = result->time_seconds;
    if (sampler) outcome.conditions = sampler->conditions(threads, threads, engine.tile_plan());
    return outcome;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

int cost(int pairs) {
    const auto threads = static_cast<std::int32_t>(std::max(1u, std::thread::hardware_concurrency()));
    BenchmarkEngine engine;
    ConditionsSampler sampler;
    std::vector<double> ratios;
    std::printf("pair  without (s)  with (s)  with/without\n");
    for (int i = 0; i < pairs; ++i) {
        // Alternate which goes first, so a drift of the machine's speed falls on both.
        const bool sampled_first = i % 2 == 1;
        const double a = run_once(engine, sampled_first ? &sampler : nullptr, threads).seconds;
        const double b = run_once(engine, sampled_first ? nullptr : &sampler, threads).seconds;
        const double without = sampled_first ? b : a;
        const double with = sampled_first ? a : b;
        ratios.push_back(with / without);
        std::printf("%4d  %11.3f  %8.3f  %12.4f\n", i + 1, without, with, with / without);
        std::fflush(stdout);
    }
    std::printf("median with/without over %d pairs: %.4f\n", pairs, median(ratios));
    return 0;
}

// Keeps `percent` % of one core busy: spins for that share of every 100 ms.
[[noreturn]] void duty_cycle(double percent) {
    using clock = std::chrono::steady_clock;
    const auto busy = std::chrono::microseconds(static_cast<long>(percent * 1000.0));
    for (auto period = clock::now();; period += std::chrono::milliseconds(100)) {
        while (clock::now() < period + busy) {
        }
        std::this_thread::sleep_until(period + std::chrono::milliseconds(100));
    }
}

double child_cpu_seconds(pid_t child) {
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

int load(double percent, int runs) {
    const auto threads = static_cast<std::int32_t>(std::max(1u, std::thread::hardware_concurrency()));
    BenchmarkEngine engine;
    ConditionsSampler sampler;
    std::printf("load %.0f %% of one core = %.1f %% of this %d-thread machine\n", percent, percent / threads,
                threads);
    std::printf("run  time (s)  load used (%% of machine)  others reported  steal  verdict\n");
    for (int i = 0; i < runs; ++i) {
        pid_t child = -1;
        if (percent > 0.0) {
            child = fork();
            if (child == 0) duty_cycle(percent);
        }
        const auto begin = std::chrono::steady_clock::now();
        const Outcome outcome = run_once(engine, &sampler, threads);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        double used = 0.0;
        if (child > 0) {
            kill(child, SIGKILL);
            used = 100.0 * child_cpu_seconds(child) / (wall * threads);
        }
        const RunConditions& c = *outcome.conditions;
        std::printf("%3d  %8.2f  %24.1f  %15.1f  %5.1f  %s\n", i + 1, outcome.seconds, used, c.others_percent,
                    c.steal_percent.value_or(0.0), std::string(verdict_word(c.verdict)).c_str());
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

}  // namespace vornmark

using namespace vornmark;

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "cost") return cost(argc > 2 ? std::atoi(argv[2]) : 5);
    if (mode == "load" && argc > 2) return load(std::atof(argv[2]), argc > 3 ? std::atoi(argv[3]) : 3);
    std::fprintf(stderr, "usage: conditions_bench cost [PAIRS] | load PERCENT [RUNS]\n");
    return 2;
}
