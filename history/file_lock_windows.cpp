#include <windows.h>

#include <string>

#include "history/file_lock.h"
#include "history/wide_text_windows.h"

namespace vornmark {

namespace {

std::string last_error_text() {
    return "Windows error " + std::to_string(::GetLastError());
}

}  // namespace

FileLock::FileLock(const std::string& lock_path) {
    const std::wstring wide_path = wide_from_utf8(lock_path);
    // Every kind of sharing, so other takers can open the file to wait on the lock.
    HANDLE file = ::CreateFileW(wide_path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    // A lock file left read-only still serves: LockFileEx needs only a handle.
    if (file == INVALID_HANDLE_VALUE)
        file = ::CreateFileW(wide_path.c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error_ = "cannot open the lock file " + lock_path + ": " + last_error_text();
        return;
    }
    // A lock on the first byte, held per handle: two stores in one process exclude each other too.
    OVERLAPPED whole{};
    if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
        error_ = "cannot lock " + lock_path + ": " + last_error_text();
        ::CloseHandle(file);
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
}

FileLock::~FileLock() {
    if (!held()) return;
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    OVERLAPPED whole{};
    ::UnlockFileEx(file, 0, 1, 0, &whole);
    ::CloseHandle(file);
}

}  // namespace vornmark
