#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "history/utf8_path.h"
#include "tests/support/temp_dir.h"

namespace vornmark {

// The names of the entries of a directory (UTF-8), in no particular order.
inline std::vector<std::string> names_in(const std::filesystem::path& dir) {
    std::vector<std::string> result;
    for (const auto& item : std::filesystem::directory_iterator(dir))
        result.push_back(utf8_from_path(item.path().filename()));
    return result;
}

// Paths are UTF-8, as in the program.
inline void write_text(const std::string& path, const std::string& text) {
    std::ofstream out(path_from_utf8(path), std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string read_text(const std::string& path) {
    std::ifstream in(path_from_utf8(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace vornmark
