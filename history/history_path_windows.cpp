#include <windows.h>

#include <cstdlib>
#include <string>

#include "history/history_path.h"

std::string executable_path() {
    // Paths may be longer than MAX_PATH; a full buffer means the name was cut, so grow it.
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::string executable_directory(std::string_view executable_path) {
    const auto separator = executable_path.find_last_of("\\/");
    if (separator == std::string_view::npos) return ".";
    return std::string(executable_path.substr(0, separator));
}

std::string history_path_beside(std::string_view executable_path) {
    return executable_directory(executable_path) + "\\history.json";
}

bool directory_is_writable(const std::string& directory) {
    // Windows has no access() that answers for ACLs; try to make a file there.
    const std::string probe =
        directory + "\\.vornmark-write-probe-" + std::to_string(::GetCurrentProcessId());
    const HANDLE file = ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
    return true;
}

std::string default_history_path() {
    const std::string executable = executable_path();
    if (directory_is_writable(executable_directory(executable))) return history_path_beside(executable);
    // An installed program (under Program Files) keeps its history in the user's profile.
    const char* local_app_data = std::getenv("LOCALAPPDATA");
    if (local_app_data && *local_app_data) return std::string(local_app_data) + "\\Vornmark\\history.json";
    return history_path_beside(executable);
}
