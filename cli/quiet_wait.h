#pragma once

#include <cstdio>

namespace vornmark::cli {

// --wait-quiet: before the runs, waits up to `seconds` until other programs use under 2 % of the
// processor over 2 s, saying on `out` what it waits for and how it ended (quiet, gave up, or
// cannot tell, which starts at once). Ctrl-C ends the wait; returns false then.
bool wait_for_quiet(double seconds, std::FILE* out);

}  // namespace vornmark::cli
