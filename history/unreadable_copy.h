#pragma once

#include <ctime>
#include <string>

namespace vornmark {

// A history file that cannot be understood is kept beside itself before anything replaces it.

// "<path>.unreadable-YYYYMMDD-HHMMSS" in local time; attempts after the first add "-<attempt>".
std::string unreadable_copy_name(const std::string& path, std::time_t when, int attempt);

// Copies the current file at `path` to unreadable_copy_name(path, when, ...) beside it, never
// overwriting an existing file; the file stays at `path` as well. An earlier copy with the same bytes
// is named instead of making another one. True when the file was kept or there
// is no file at `path`; false when it exists and could not be kept (it must not be replaced then).
// `kept_as` receives the new name when one was made. One implementation per platform:
// file_writes_posix.cpp, file_writes_windows.cpp.
bool keep_file_aside(const std::string& path, std::time_t when, std::string* kept_as = nullptr);

}  // namespace vornmark
