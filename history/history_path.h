#pragma once

#include <string>
#include <string_view>

// Full path of the running executable (from /proc/self/exe); empty when it cannot be read.
std::string executable_path();

// The executable's directory (everything before the last '/', or "." when there is none).
std::string executable_directory(std::string_view executable_path);

// The directory joined with "history.json" by "/".
std::string history_path_beside(std::string_view executable_path);

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

bool directory_is_writable(const std::string& directory);

// choose_history_path for this process and its environment.
std::string default_history_path();
