#include "cli/quiet_wait.h"

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "session/run_conditions.h"
#include "session/stop_signal.h"
#include "sysinfo/run_probes.h"

namespace vornmark::cli {

namespace {

constexpr double window_seconds = 2.0;
constexpr double quiet_percent = 2.0;

struct Reading {
    ProcessorTimes machine;
    double own = 0.0;
};

std::optional<Reading> read_now() {
    const std::optional<ProcessorTimes> machine = read_processor_times();
    const std::optional<double> own = read_own_processor_seconds();
    if (!machine || !own) return std::nullopt;
    return Reading{*machine, *own};
}

// Others and steal over the span between two readings, in % of the machine.
double others_between(const Reading& a, const Reading& b) {
    const double total = b.machine.total - a.machine.total;
    if (!(total > 0.0)) return 0.0;
    const double taken =
        (b.machine.busy - a.machine.busy) - (b.own - a.own) + (b.machine.steal - a.machine.steal);
    return std::max(0.0, 100.0 * taken / total);
}

}  // namespace

bool wait_for_quiet(double seconds, std::FILE* out) {
    std::optional<Reading> last = read_now();
    if (!last) {
        std::fprintf(
            out,
            "Cannot tell how busy the machine is (its processor times cannot be read); starting at once\n");
        return true;
    }
    std::fprintf(out,
                 "Waiting up to %.0f s until other programs use under 2 %% of the processor over 2 s...\n",
                 seconds);
    std::fflush(out);
    const auto begin = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    };
    std::optional<double> others;
    while (elapsed() + window_seconds <= seconds) {
        const auto window_end =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(window_seconds);
        while (std::chrono::steady_clock::now() < window_end) {
            if (stop_requested()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const std::optional<Reading> now = read_now();
        if (!now) break;
        others = others_between(*last, *now);
        last = now;
        if (*others < quiet_percent) {
            std::fprintf(out, "Quiet: other programs used %s of the processor over the last 2 s; starting\n",
                         percent_text(*others).c_str());
            return true;
        }
    }
    if (others)
        std::fprintf(
            out,
            "Gave up waiting after %.0f s: other programs still used %s of the processor; starting anyway\n",
            elapsed(), percent_text(*others).c_str());
    else
        std::fprintf(out, "Gave up waiting after %.0f s without a whole 2 s to measure; starting anyway\n",
                     elapsed());
    return true;
}

}  // namespace vornmark::cli
