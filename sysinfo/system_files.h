#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vornmark {

// Helpers for reading /proc, /sys and /etc files below a chosen root directory.

// `relative` (no leading '/') below `root`.
std::string path_under(const std::string& root, std::string_view relative);

// The whole file, or nothing when it cannot be read.
std::optional<std::string> read_file_text(const std::string& path);

// The first line of the file without its line break and surrounding white space; empty when unreadable.
std::string read_first_line(const std::string& path);

std::string_view trim_white_space(std::string_view text);

// The value of the first "key : value" line whose key (white space trimmed) equals `key`, as in
// /proc/cpuinfo and /proc/meminfo; the value has its surrounding white space trimmed.
std::optional<std::string> colon_field(std::string_view text, std::string_view key);

// Whole decimal number of the text (white space trimmed), nothing else allowed.
std::optional<std::uint64_t> parse_unsigned(std::string_view text);
std::optional<std::int64_t> parse_signed(std::string_view text);

// Directory entries named `prefix` followed by decimal digits only, as (number, full path), by number.
std::vector<std::pair<std::uint64_t, std::string>> numbered_entries(const std::string& directory,
                                                                    std::string_view prefix);

}  // namespace vornmark
