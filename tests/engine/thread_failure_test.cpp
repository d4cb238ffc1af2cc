// Thread creation is made to fail for real by capping the address space of a
// forked child, so that a new thread's stack cannot be mapped.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>
#include <unistd.h>

#include "engine/benchmark_engine.h"
#include "engine/worker_pool.h"
#include "tests/support/test_configs.h"
#include "tests/support/wait_until.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VORNMARK_SANITIZED 1
#else
#define VORNMARK_SANITIZED 0
#endif

namespace vornmark {

namespace {

// Leaves room for a couple of thread stacks (8 MiB each) above what is mapped now.
void cap_address_space(long headroom_mib) {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const auto current = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
    const rlimit limit{current + static_cast<rlim_t>(headroom_mib) * 1024 * 1024,
                       current + static_cast<rlim_t>(headroom_mib) * 1024 * 1024};
    if (setrlimit(RLIMIT_AS, &limit) != 0) {
        std::perror("setrlimit");
        std::_Exit(10);
    }
}

[[noreturn]] void pool_creation_fails_cleanly() {
    cap_address_space(40);
    try {
        WorkerPool pool(256);
    } catch (const std::system_error& failure) {
        std::_Exit(failure.code() == std::errc::resource_unavailable_try_again ? 0 : 2);
    }
    std::_Exit(3);  // every worker could be started: the cap did not bite
}

[[noreturn]] void engine_reports_worker_failure() {
    BenchmarkEngine engine;
    cap_address_space(100);
    engine.start(small_config(256));
    if (!wait_until([&] { return !engine.running(); })) std::_Exit(4);
    if (engine.take_result()) std::_Exit(5);
    if (engine.error().find("worker") == std::string::npos) std::_Exit(6);
    std::fprintf(stderr, "%s\n", engine.error().c_str());
    std::_Exit(0);
}

[[noreturn]] void engine_reports_run_thread_failure() {
    BenchmarkEngine engine;
    cap_address_space(1);
    engine.start(small_config(1));
    if (engine.running()) std::_Exit(7);
    if (engine.take_result()) std::_Exit(8);
    if (engine.error().find("benchmark thread") == std::string::npos) std::_Exit(9);
    std::fprintf(stderr, "%s\n", engine.error().c_str());
    std::_Exit(0);
}

}  // namespace

TEST(ThreadFailure, EngineStaysIdleWithErrorWhenTheRunThreadCannotStart) {
    if (VORNMARK_SANITIZED)
        GTEST_SKIP() << "sanitizer runtimes need far more address space than the cap allows";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(engine_reports_run_thread_failure(), testing::ExitedWithCode(0), "benchmark thread");
}

TEST(ThreadFailure, PoolShutsDownStartedWorkersAndReportsTheError) {
    if (VORNMARK_SANITIZED)
        GTEST_SKIP() << "sanitizer runtimes need far more address space than the cap allows";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(pool_creation_fails_cleanly(), testing::ExitedWithCode(0), "");
}

TEST(ThreadFailure, EngineStaysIdleWithErrorWhenWorkersCannotStart) {
    if (VORNMARK_SANITIZED)
        GTEST_SKIP() << "sanitizer runtimes need far more address space than the cap allows";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(engine_reports_worker_failure(), testing::ExitedWithCode(0), "worker threads");
}

}  // namespace vornmark
