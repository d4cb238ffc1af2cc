#pragma once

#include "session/stop_signal.h"

namespace vornmark::cli {

// The runner's exit codes (its usage text lists them).
inline constexpr int exit_ok = 0;
inline constexpr int exit_run_failed = 1;
inline constexpr int exit_bad_argument = 2;
inline constexpr int exit_wrong_image = 3;

// A run stopped by a signal ends like a program killed by it would: 128 + the signal (Ctrl-C: 130).
inline int exit_stopped() {
    return 128 + stop_signal();
}

}  // namespace vornmark::cli
