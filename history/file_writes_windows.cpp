// The Windows side of replace_file.h and unreadable_copy.h.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

#include "history/read_whole_file.h"
#include "history/replace_file.h"
#include "history/unreadable_copy.h"
#include "history/utf8_path.h"
#include "history/wide_text_windows.h"

namespace vornmark {

namespace {

std::string last_error_text(DWORD error) {
    return "Windows error " + std::to_string(error);
}

std::string directory_of(const std::string& path) {
    const auto separator = path.find_last_of("\\/");
    if (separator == std::string::npos) return ".";
    return path.substr(0, separator);
}

bool write_all(HANDLE file, std::string_view content) {
    while (!content.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, content.data(), chunk, &written, nullptr) || written == 0) return false;
        content.remove_prefix(written);
    }
    return true;
}

// Creates a new file next to `path` that no other writer uses.
HANDLE create_temporary_beside(const std::string& path, std::string& temporary) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary =
            path + ".tmp-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++);
        const HANDLE file = ::CreateFileW(wide_from_utf8(temporary).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        if (::GetLastError() != ERROR_FILE_EXISTS) return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

// An earlier "<path>.unreadable-*" copy holding exactly `text`; empty when there is none.
std::string existing_copy_with(const std::string& path, const std::string& text) {
    const std::string directory = directory_of(path);
    const std::string prefix = path.substr(path.find_last_of("\\/") + 1) + ".unreadable-";
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(path_from_utf8(directory), error)) {
        const std::string name = utf8_from_path(item.path().filename());
        if (name.rfind(prefix, 0) != 0) continue;
        const std::string candidate = directory + "\\" + name;
        std::string other;
        if (read_whole_file(candidate, other) && other == text) return candidate;
    }
    return {};
}

// Another program that has the file open without delete sharing (a virus scanner, the search
// indexer, a cloud-sync client) makes the replacement fail for as long as it holds the file, usually
// a few milliseconds. Windows reports a sharing violation; Wine reports access denied.
bool held_by_another_program(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

// MoveFileExW, tried again for about a second in all while another program holds the target.
bool move_over(const std::wstring& from, const std::wstring& to) {
    using namespace std::chrono;
    const auto give_up = steady_clock::now() + milliseconds(1000);
    auto pause = milliseconds(5);
    for (;;) {
        if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = ::GetLastError();
        if (!held_by_another_program(error) || steady_clock::now() + pause > give_up) {
            ::SetLastError(error);
            return false;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, milliseconds(100));
    }
}

}  // namespace

// What a text-mode stream of the C runtime writes: CR LF for every LF.
std::string text_file_content(std::string_view text) {
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') result += '\r';
        result += c;
    }
    return result;
}

bool replace_file_contents(const std::string& path, std::string_view content, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    const std::wstring wide_path = wide_from_utf8(path);
    const DWORD attributes = ::GetFileAttributesW(wide_path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return fail(path + " is a directory, not a file");
        if (attributes & FILE_ATTRIBUTE_READONLY) return fail(path + " is read-only");
    }

    std::string temporary;
    const HANDLE file = create_temporary_beside(path, temporary);
    if (file == INVALID_HANDLE_VALUE)
        return fail("cannot create a file in " + directory_of(path) + ": " +
                    last_error_text(::GetLastError()));
    DWORD failure = 0;
    auto step = [&](bool ok) {
        if (!ok && failure == 0) failure = ::GetLastError();
        return ok;
    };
    bool ok = step(write_all(file, content));
    ok = ok && step(::FlushFileBuffers(file));
    ok = step(::CloseHandle(file)) && ok;
    const std::wstring wide_temporary = wide_from_utf8(temporary);
    ok = ok && step(move_over(wide_temporary, wide_path));
    if (!ok) {
        ::DeleteFileW(wide_temporary.c_str());
        return fail("cannot write " + path + ": " + last_error_text(failure));
    }
    return true;
}

bool keep_file_aside(const std::string& path, std::time_t when, std::string* kept_as) {
    const std::wstring wide_path = wide_from_utf8(path);
    const DWORD attributes = ::GetFileAttributesW(wide_path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    std::string text;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || !read_whole_file(path, text)) return false;
    if (std::string earlier = existing_copy_with(path, text); !earlier.empty()) {
        if (kept_as) *kept_as = earlier;
        return true;
    }
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string name = unreadable_copy_name(path, when, attempt);
        if (::CopyFileW(wide_path.c_str(), wide_from_utf8(name).c_str(), TRUE)) {
            if (kept_as) *kept_as = name;
            return true;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

}  // namespace vornmark
