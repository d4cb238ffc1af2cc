#include "sysinfo/os_version.h"

#include "sysinfo/system_files.h"

namespace vornmark {

namespace {

std::string unquote(std::string_view value) {
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
        return std::string(value.substr(1, value.size() - 2));
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
        std::string text;
        for (std::size_t i = 0; i < value.size(); ++i) {
            const char c = value[i];
            if (c == '\\' && i + 1 < value.size()) {
                const char next = value[i + 1];
                if (next == '"' || next == '\\' || next == '$' || next == '`') {
                    text += next;
                    ++i;
                    continue;
                }
            }
            text += c;
        }
        return text;
    }
    return std::string(value);
}

}  // namespace

std::optional<std::string> os_release_value(std::string_view text, std::string_view key) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = trim_white_space(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos || line.substr(0, equals) != key) continue;
        return unquote(line.substr(equals + 1));
    }
    return std::nullopt;
}

std::string os_version_text(const std::string& name, const std::string& kernel_release) {
    if (kernel_release.empty()) return name;
    std::string text = name.empty() ? std::string("Linux") : name;
    text += " (Kernel ";
    text += kernel_release;
    text += ')';
    return text;
}

std::string read_os_pretty_name(const std::string& root) {
    for (const char* file : {"etc/os-release", "usr/lib/os-release"}) {
        const auto text = read_file_text(path_under(root, file));
        if (!text) continue;
        const auto pretty = os_release_value(*text, "PRETTY_NAME");
        return pretty && !pretty->empty() ? *pretty : "Linux";
    }
    return {};
}

std::string read_os_version(const std::string& root) {
    return os_version_text(read_os_pretty_name(root),
                           read_first_line(path_under(root, "proc/sys/kernel/osrelease")));
}

}  // namespace vornmark
