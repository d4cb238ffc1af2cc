#pragma once

#include <string>
#include <string_view>

namespace vornmark {

// `text` in single quotes, with control characters, quotes, backslashes and bytes outside ASCII
// written as \xNN, so that text from outside the program cannot alter the terminal or the line.
std::string quoted_for_message(std::string_view text);

}  // namespace vornmark
