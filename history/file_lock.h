#pragma once

#include <cstdint>
#include <string>

namespace vornmark {

// An exclusive advisory lock on a lock file, held from construction until destruction. Every
// program that changes the history takes it first, so two processes change the file one after the
// other. Advisory: it keeps out other takers of the same lock, not other writers. The lock file is
// created when missing and left in place afterwards (removing it would race with the next taker).
// One implementation per platform: file_lock_linux.cpp (flock), file_lock_windows.cpp (LockFileEx).
class FileLock {
public:
    // Waits for the lock as long as another holder has it. Holders keep it only while they read and
    // replace one small file, so the wait is short unless that holder hangs in the file system, where
    // the caller's own write would hang too. (A time limit with polling was tried: a process changing
    // the file in a loop could starve the other one past any limit.)
    explicit FileLock(const std::string& lock_path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return handle_ != no_handle; }
    // Why the lock is not held, one line; empty when it is.
    const std::string& error() const { return error_; }

private:
    static constexpr std::intptr_t no_handle = -1;
    std::intptr_t handle_ = no_handle;  // a file descriptor here, a HANDLE on Windows
    std::string error_;
};

}  // namespace vornmark
