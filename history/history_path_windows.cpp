#include <windows.h>

#include <string>

#include "history/history_path.h"
#include "history/wide_text_windows.h"

namespace vornmark {

namespace {

char folded(char c) {
    if (c == '/') return '\\';
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `path` is `folder` or lies inside it, ignoring letter case and the kind of slash.
bool lies_in(std::string_view path, std::string_view folder) {
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.remove_suffix(1);
    if (folder.empty() || path.size() < folder.size()) return false;
    for (std::size_t i = 0; i < folder.size(); ++i)
        if (folded(path[i]) != folded(folder[i])) return false;
    return path.size() == folder.size() || path[folder.size()] == '\\' || path[folder.size()] == '/';
}

}  // namespace

std::string executable_path() {
    // Paths may be longer than MAX_PATH; a full buffer means the name was cut, so grow it.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return utf8_from_wide(buffer);
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
    const HANDLE file = ::CreateFileW(wide_from_utf8(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
    return true;
}

bool file_is_writable(const std::string& path) {
    // Opening for writing changes nothing; it answers for the read-only attribute and the ACLs.
    const HANDLE file = ::CreateFileW(wide_from_utf8(path).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
    return true;
}

std::string choose_windows_history_path(std::string_view executable_path, bool executable_directory_writable,
                                        std::string_view local_app_data,
                                        const std::vector<std::string>& program_folders) {
    bool installed = !executable_directory_writable;
    for (const std::string& folder : program_folders)
        installed = installed || lies_in(executable_path, folder);
    if (installed && !local_app_data.empty()) return std::string(local_app_data) + "\\Vornmark\\history.json";
    return history_path_beside(executable_path);
}

std::string default_history_path() {
    const std::string executable = executable_path();
    // The folders of installed programs, 64-bit and 32-bit; an administrator (or Wine) may write
    // there, but an installed program's history belongs to the user all the same.
    const std::vector<std::string> program_folders = {environment_text(L"ProgramW6432"),
                                                      environment_text(L"ProgramFiles"),
                                                      environment_text(L"ProgramFiles(x86)")};
    return choose_windows_history_path(executable, directory_is_writable(executable_directory(executable)),
                                       environment_text(L"LOCALAPPDATA"), program_folders);
}

}  // namespace vornmark
