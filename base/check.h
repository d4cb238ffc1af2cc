#pragma once

#include <cstdio>
#include <cstdlib>

namespace vornmark {

// Checks of invariants the code relies on and its callers must keep: a rectangle inside its image,
// a tile of the plan, an operation called in the state it needs. On in Debug and in the sanitizer
// and fuzzing builds (VORNMARK_CHECKS, set by the top CMakeLists), off in Release, where the
// condition is compiled but never evaluated. A failed check names the condition and where it is on
// stderr and aborts. Not for input from outside, which gets a message, and never inside the
// kernel's per-pixel loops.

[[noreturn]] inline void check_failed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

#if defined(VORNMARK_CHECKS)
inline constexpr bool checks_enabled = true;
#define DCHECK(condition) ((condition) ? void(0) : ::vornmark::check_failed(#condition, __FILE__, __LINE__))
#else
inline constexpr bool checks_enabled = false;
#define DCHECK(condition) static_cast<void>(sizeof((condition) ? 1 : 0))
#endif

}  // namespace vornmark
