#pragma once

#include <ctime>
#include <string>
#include <string_view>

// The text as this platform writes a text file: line breaks stay LF on Linux and become CR LF on
// Windows. Readers of the history accept either.
std::string text_file_content(std::string_view text);

// One implementation per platform: file_replace_posix.cpp, file_replace_windows.cpp.
// Replaces the file at `path` by `content` without ever leaving a partly written file there: the text
// goes to a new file in the same directory, is flushed to disk and then renamed over `path`, and the
// directory is flushed. On failure `path` is untouched, the temporary file is removed, false is returned
// and `error` (when given) receives one line saying why. An existing file's permission bits are kept.
// A file that is not writable, or a directory, is never replaced: writing it in place would fail too.
bool replace_file_contents(const std::string& path, std::string_view content, std::string* error = nullptr);

// The whole file at `path` as bytes into `text`; false when it cannot be opened or read.
bool read_whole_file(const std::string& path, std::string& text);

// "<path>.unreadable-YYYYMMDD-HHMMSS" in local time; attempts after the first add "-<attempt>".
std::string unreadable_copy_name(const std::string& path, std::time_t when, int attempt);

// Copies the current file at `path` to unreadable_copy_name(path, when, ...) beside it, never
// overwriting an existing file; the file stays at `path` as well. An earlier copy with the same bytes
// is named instead of making another one. True when the file was kept or there
// is no file at `path`; false when it exists and could not be kept (it must not be replaced then).
// `kept_as` receives the new name when one was made.
bool keep_file_aside(const std::string& path, std::time_t when, std::string* kept_as = nullptr);
