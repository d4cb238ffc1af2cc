#include "history/history_path.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vornmark {

std::string executable_path() {
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return target.string();
}

std::string executable_directory(std::string_view executable_path) {
    const auto separator = executable_path.find_last_of('/');
    if (separator == std::string_view::npos) return ".";
    return std::string(executable_path.substr(0, separator));
}

std::string history_path_beside(std::string_view executable_path) {
    return executable_directory(executable_path) + "/history.json";
}

std::string user_history_path(std::string_view xdg_data_home, std::string_view home) {
    // Relative values of XDG_DATA_HOME are invalid and must be ignored.
    if (!xdg_data_home.empty() && xdg_data_home.front() == '/') {
        return std::string(xdg_data_home) + "/vornmark/history.json";
    }
    if (!home.empty()) return std::string(home) + "/.local/share/vornmark/history.json";
    return {};
}

bool is_system_program_directory(std::string_view directory) {
    for (const std::string_view system :
         {"/usr/bin", "/usr/local/bin", "/bin", "/usr/games", "/usr/local/games"}) {
        if (directory == system) return true;
    }
    return false;
}

std::string choose_history_path(std::string_view executable_path, bool executable_directory_writable,
                                std::string_view xdg_data_home, std::string_view home) {
    // Root may write to /usr/bin, but an installed program's history still belongs to the user.
    if (!executable_directory_writable ||
        is_system_program_directory(executable_directory(executable_path))) {
        std::string user_path = user_history_path(xdg_data_home, home);
        if (!user_path.empty()) return user_path;
    }
    return history_path_beside(executable_path);
}

bool directory_is_writable(const std::string& directory) {
    const std::string checked = directory.empty() ? "/" : directory;
    return ::access(checked.c_str(), W_OK | X_OK) == 0;
}

bool file_is_writable(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

std::string default_history_path() {
    const std::string executable = executable_path();
    const char* xdg_data_home = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    return choose_history_path(executable, directory_is_writable(executable_directory(executable)),
                               xdg_data_home ? xdg_data_home : "", home ? home : "");
}

}  // namespace vornmark
