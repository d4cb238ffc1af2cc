#include "history/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

namespace {

bool write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::string directory_of(const std::string& path) {
    const auto separator = path.find_last_of('/');
    if (separator == std::string::npos) return ".";
    if (separator == 0) return "/";
    return path.substr(0, separator);
}

void sync_directory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Creates a new file next to `path` that no other writer uses; -1 when that is impossible.
int create_temporary_beside(const std::string& path, mode_t mode, std::string& temporary) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) return fd;
        if (errno != EEXIST) return -1;
    }
    return -1;
}

// Copies `from` into a file `to` that must not exist yet; a partial copy is removed.
bool copy_to_new_file(const std::string& from, const std::string& to, mode_t mode, bool& target_exists) {
    target_exists = false;
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (out < 0) {
        target_exists = errno == EEXIST;
        ::close(in);
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ok = false;
        if (got <= 0) break;
        if (!write_all(out, buffer, static_cast<std::size_t>(got))) {
            ok = false;
            break;
        }
    }
    ok = ok && ::fsync(out) == 0;
    ok = (::close(out) == 0) && ok;
    ::close(in);
    if (!ok) ::unlink(to.c_str());
    return ok;
}

}  // namespace

bool replace_file_contents(const std::string& path, std::string_view content) {
    mode_t mode = 0666;  // narrowed by the umask when the file is new
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);

    std::string temporary;
    const int fd = create_temporary_beside(path, mode, temporary);
    if (fd < 0) return false;

    bool ok = write_all(fd, content.data(), content.size());
    if (ok && exists) ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    sync_directory(directory_of(path));
    return true;
}

std::string unreadable_copy_name(const std::string& path, std::time_t when, int attempt) {
    std::tm local{};
    char stamp[32] = "00000000-000000";
    if (::localtime_r(&when, &local) != nullptr) {
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    }
    std::string name = path + ".unreadable-" + stamp;
    if (attempt > 0) {
        name += '-';
        name += std::to_string(attempt);
    }
    return name;
}

bool keep_file_aside(const std::string& path, std::time_t when, std::string* kept_as) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0) return errno == ENOENT;

    // A copy rather than a second link: a link would share the bytes with whatever later writes
    // into the file in place.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string name = unreadable_copy_name(path, when, attempt);
        bool target_exists = false;
        if (copy_to_new_file(path, name, existing.st_mode & 07777, target_exists)) {
            if (kept_as) *kept_as = name;
            return true;
        }
        if (!target_exists) return false;
    }
    return false;
}
