#pragma once

namespace vornmark {

// Ctrl-C (SIGINT) and SIGTERM as a request to stop that the main thread polls: the window
// closes, the runner cancels its run. The handler only records the signal and restores the
// default action, so a second one ends a program that does not stop.
void install_stop_signals();

// 0 until a stop was requested, then the number of the first signal.
int stop_signal();

inline bool stop_requested() {
    return stop_signal() != 0;
}

}  // namespace vornmark
