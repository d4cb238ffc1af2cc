#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vornmark {

// Paths travel through the program as UTF-8 text. These two are the way between that text and
// std::filesystem::path: on Windows a path made from a plain std::string is read as single bytes
// of a code page (so "Jürgen" would become "JÃ¼rgen"), and path::string() writes UTF-8 back.
// On Linux both copy the bytes. On Windows, text that is not UTF-8 throws
// std::filesystem::filesystem_error.
inline std::filesystem::path path_from_utf8(std::string_view text) {
    return std::filesystem::path(
        std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

inline std::string utf8_from_path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace vornmark
