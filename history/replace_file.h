#pragma once

#include <string>
#include <string_view>

namespace vornmark {

// Writing a whole file at once. One implementation per platform: file_writes_posix.cpp,
// file_writes_windows.cpp.

// The text as this platform writes a text file: line breaks stay LF on Linux and become CR LF on
// Windows. Readers of the history accept either.
std::string text_file_content(std::string_view text);

// Replaces the file at `path` by `content` without ever leaving a partly written file there: the text
// goes to a new file in the same directory, is flushed to disk and then renamed over `path`, and the
// directory is flushed. On failure `path` is untouched, the temporary file is removed, false is returned
// and `error` (when given) receives one line saying why. An existing file's permission bits are kept.
// A file that is not writable, or a directory, is never replaced: writing it in place would fail too.
// On Windows a file that another program holds open without delete sharing (a virus scanner, the
// search indexer) is tried again for about a second before the replacement fails. Paths are UTF-8.
bool replace_file_contents(const std::string& path, std::string_view content, std::string* error = nullptr);

}  // namespace vornmark
