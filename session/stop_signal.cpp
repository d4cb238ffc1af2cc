#include "session/stop_signal.h"

#include <atomic>
#include <csignal>

namespace vornmark {

namespace {

std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch a lock-free atomic");

extern "C" void on_stop_signal(int signal) {
    int none = 0;
    received.compare_exchange_strong(none, signal);
    // Allowed in a handler for its own signal; standard C++, so no platform code is needed.
    std::signal(signal, SIG_DFL);
}

}  // namespace

void install_stop_signals() {
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);
}

int stop_signal() {
    return received.load();
}

}  // namespace vornmark
