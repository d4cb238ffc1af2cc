// The window's processor time with real threads: the process's less the benchmark workers'.
#include "app/window_cpu_clock.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/cpu_time.h"
#include "engine/worker_pool.h"

namespace vornmark::app {

namespace {

// Spins on the calling thread until it has used `seconds` of processor time.
void burn(double seconds) {
    const ThreadCpuClock clock = open_this_thread_cpu_clock();
    const double end = thread_cpu_seconds(clock) + seconds;
    while (thread_cpu_seconds(clock) < end) {
    }
    close_thread_cpu_clock(clock);
}

TEST(WindowCpuClock, CountsEveryThreadButTheWorkersAlsoAfterTheWorkersHaveEnded) {
    const WindowCpuClock clock;
    const double process_start = process_cpu_seconds();
    const double start = clock.seconds();
    {
        WorkerPool pool(2);
        for (int i = 0; i < 4; ++i) pool.enqueue([] { burn(0.1); });
        burn(0.1);                                // the GUI thread
        std::thread renderer([] { burn(0.1); });  // a thread of the graphics driver
        renderer.join();
        pool.wait_idle();
    }
    const double window = clock.seconds() - start;
    const double process = process_cpu_seconds() - process_start;
    // Tolerances cover the platforms' tick-sized counters (10 to 16 ms).
    EXPECT_GE(process, 0.55);
    EXPECT_NEAR(window, 0.2, 0.06);
}

}  // namespace

}  // namespace vornmark::app
