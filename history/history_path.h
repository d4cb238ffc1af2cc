#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vornmark {

// Where history.json lies. One implementation per platform: history_path_linux.cpp,
// history_path_windows.cpp.

// Full path of the running executable (Linux: /proc/self/exe; Windows: the module file name);
// empty when it cannot be read.
std::string executable_path();

// The executable's directory: everything before the last separator ('/' on Linux; '\\' or '/'
// on Windows), or "." when there is none.
std::string executable_directory(std::string_view executable_path);

// The directory joined with "history.json" by the platform's separator.
std::string history_path_beside(std::string_view executable_path);

// Whether a new file can be made in the directory.
bool directory_is_writable(const std::string& directory);

// Whether the existing file may be opened for writing.
bool file_is_writable(const std::string& path);

// Linux only (the XDG data directory):

// $XDG_DATA_HOME/vornmark/history.json, or ~/.local/share/vornmark/history.json when XDG_DATA_HOME is
// unset or not absolute; empty when neither gives a directory.
std::string user_history_path(std::string_view xdg_data_home, std::string_view home);

// True for the folders that hold installed programs (/usr/bin, /usr/local/bin, /bin and the games
// folders).
bool is_system_program_directory(std::string_view directory);

// Beside the executable when its directory is writable and not a system program folder (or when no
// user directory is known), otherwise in the user's data directory. Pure: every input is given.
std::string choose_history_path(std::string_view executable_path, bool executable_directory_writable,
                                std::string_view xdg_data_home, std::string_view home);

// Windows only:

// %LOCALAPPDATA%\Vornmark\history.json for an installed program (one that lies in one of the
// `program_folders`, such as C:\Program Files, even when that folder is writable) and for one whose
// folder is not writable; beside the executable otherwise (the portable program), or when no
// LOCALAPPDATA is known. Pure: every input is given. Letter case and the kind of slash do not matter.
std::string choose_windows_history_path(std::string_view executable_path, bool executable_directory_writable,
                                        std::string_view local_app_data,
                                        const std::vector<std::string>& program_folders);

// The path for this process: Linux: choose_history_path with its environment; Windows:
// choose_windows_history_path with its environment (LOCALAPPDATA, ProgramFiles, ProgramW6432,
// ProgramFiles(x86)). Paths are UTF-8 on both.
std::string default_history_path();

}  // namespace vornmark
