#pragma once

#include <string>

namespace vornmark {

// The whole file at `path` as bytes into `text`; false when it cannot be opened or read.
bool read_whole_file(const std::string& path, std::string& text);

}  // namespace vornmark
