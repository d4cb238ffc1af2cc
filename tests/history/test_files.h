#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

// The names of the entries of a directory, in no particular order.
inline std::vector<std::string> names_in(const std::filesystem::path& dir) {
    std::vector<std::string> result;
    for (const auto& item : std::filesystem::directory_iterator(dir))
        result.push_back(item.path().filename().string());
    return result;
}

inline void write_text(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
