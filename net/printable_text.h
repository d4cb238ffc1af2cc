#pragma once

#include <string>
#include <string_view>

namespace vornmark {

// Text from outside (the leaderboard server's names and replies, and in the runner's listings
// the history file's and the machine probes' text) made safe to print in a terminal or draw in
// the window: every control character (ESC, CR, LF, tab, the C1 controls
// such as CSI), every byte that is not part of well-formed UTF-8, and the characters that
// reorder or break lines (bidi overrides and isolates, line and paragraph separators) become
// '?'. Everything else is kept as it is.
std::string printable_text(std::string_view text);

}  // namespace vornmark
