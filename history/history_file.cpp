#include "history/history_file.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "history/history_json.h"
#include "history/utf8_path.h"

namespace vornmark {

namespace fs = std::filesystem;

HistoryFileRead read_history_file(const std::string& path, std::vector<HistoryEntry>& entries) {
    entries.clear();
    try {
        const fs::path file = path_from_utf8(path);
        std::error_code error;
        const fs::file_status status = fs::status(file, error);
        if (status.type() == fs::file_type::not_found) return {HistoryFileState::Missing, {}};
        if (error) return {HistoryFileState::CannotRead, error.message()};
        if (status.type() == fs::file_type::directory)
            return {HistoryFileState::CannotRead, "it is a directory, not a file"};

        std::ifstream in(file, std::ios::binary);
        if (!in) return {HistoryFileState::CannotRead, std::strerror(errno)};
        std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in.bad()) return {HistoryFileState::CannotRead, "the file could not be read to its end"};

        std::istringstream stream(std::move(text));
        switch (read_history_json(stream, entries)) {
        case HistoryReadStatus::Read:
            return {HistoryFileState::Read, {}};
        case HistoryReadStatus::NotAHistory:
            return {HistoryFileState::NotUnderstood, "it holds no \"runs\" list"};
        case HistoryReadStatus::Invalid:
            return {HistoryFileState::NotUnderstood, "it is not valid JSON or holds a run that is not valid"};
        }
    } catch (const std::exception& failure) {
        entries.clear();
        return {HistoryFileState::CannotRead, failure.what()};
    }
    return {HistoryFileState::CannotRead, "unknown state"};
}

std::string resolve_write_target(const std::string& path) {
    fs::path current = path_from_utf8(path);
    // The kernel's own limit on links followed in one lookup.
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error)) || error) return utf8_from_path(current);
        const fs::path target = fs::read_symlink(current, error);
        if (error) return utf8_from_path(current);
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return path;
}

}  // namespace vornmark
