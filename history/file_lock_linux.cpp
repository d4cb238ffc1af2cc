#include "history/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vornmark {

namespace {

int open_lock_file(const std::string& path) {
    for (;;) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        // flock needs no write access: a lock file left read-only by another user still serves.
        if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0 || errno != EINTR) return fd;
    }
}

}  // namespace

FileLock::FileLock(const std::string& lock_path) {
    const int fd = open_lock_file(lock_path);
    if (fd < 0) {
        error_ = "cannot open the lock file " + lock_path + ": " + std::strerror(errno);
        return;
    }
    // flock rather than fcntl locks: those belong to the process, so two stores in one process
    // would not exclude each other, and closing any descriptor of the file would drop them.
    for (;;) {
        if (::flock(fd, LOCK_EX) == 0) {
            handle_ = fd;
            return;
        }
        if (errno != EINTR) break;
    }
    error_ = "cannot lock " + lock_path + ": " + std::strerror(errno);
    ::close(fd);
}

FileLock::~FileLock() {
    if (held()) ::close(static_cast<int>(handle_));  // closing the only descriptor releases the lock
}

}  // namespace vornmark
