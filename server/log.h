#pragma once

#include <string>
#include <string_view>

namespace vornmark::server {

// Writes one line to stderr, prefixed with the UTC time, in a single write so that
// lines from different threads never interleave.
void log_line(std::string_view text);

// The text on one line: each line break, with the indentation after it, becomes "; ".
std::string one_line(std::string_view text);

// Replaces control characters and cuts the text to `limit` bytes, so that client-chosen
// text cannot forge or flood log lines.
std::string printable_for_log(std::string_view text, std::size_t limit = 200);

}  // namespace vornmark::server
