#include "sysinfo/system_files.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace vornmark {

std::string path_under(const std::string& root, std::string_view relative) {
    if (root.empty()) return std::string(relative);
    if (root.back() == '/') return root + std::string(relative);
    return root + "/" + std::string(relative);
}

std::optional<std::string> read_file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return text;
}

std::string_view trim_white_space(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n\f\v";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::string read_first_line(const std::string& path) {
    const auto text = read_file_text(path);
    if (!text) return {};
    std::string_view view = *text;
    view = view.substr(0, view.find('\n'));
    return std::string(trim_white_space(view));
}

std::optional<std::string> colon_field(std::string_view text, std::string_view key) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        if (trim_white_space(line.substr(0, colon)) == key) {
            return std::string(trim_white_space(line.substr(colon + 1)));
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> parse_unsigned(std::string_view text) {
    text = trim_white_space(text);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::int64_t> parse_signed(std::string_view text) {
    text = trim_white_space(text);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::vector<std::pair<std::uint64_t, std::string>> numbered_entries(const std::string& directory,
                                                                    std::string_view prefix) {
    std::vector<std::pair<std::uint64_t, std::string>> entries;
    std::error_code error;
    std::filesystem::directory_iterator it(directory, error);
    if (error) return entries;
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string_view digits = std::string_view(name).substr(prefix.size());
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
        const auto number = parse_unsigned(digits);
        if (!number) continue;
        entries.emplace_back(*number, it->path().string());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

}  // namespace vornmark
