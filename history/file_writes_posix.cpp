// The POSIX side of replace_file.h and unreadable_copy.h.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>

#include "history/read_whole_file.h"
#include "history/replace_file.h"
#include "history/unreadable_copy.h"

namespace vornmark {

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

std::string text_file_content(std::string_view text) {
    return std::string(text);
}

bool replace_file_contents(const std::string& path, std::string_view content, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    mode_t mode = 0666;  // narrowed by the umask when the file is new
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) return fail(path + " is a directory, not a file");
    // Writing in place would be refused, so the rename must not replace it either. No write bit at
    // all counts too: root may write anything, but the owner marked the file read-only.
    if (exists && (::access(path.c_str(), W_OK) != 0 || (existing.st_mode & 0222) == 0))
        return fail(path + " is read-only");

    std::string temporary;
    const int fd = create_temporary_beside(path, mode, temporary);
    if (fd < 0) return fail("cannot create a file in " + directory_of(path) + ": " + std::strerror(errno));

    int failed_errno = 0;
    auto step = [&](bool ok) {
        if (!ok && failed_errno == 0) failed_errno = errno != 0 ? errno : EIO;
        return ok;
    };
    bool ok = step(write_all(fd, content.data(), content.size()));
    if (ok && exists && S_ISREG(existing.st_mode)) ok = step(::fchmod(fd, existing.st_mode & 07777) == 0);
    ok = ok && step(::fsync(fd) == 0);
    ok = step(::close(fd) == 0) && ok;
    ok = ok && step(::rename(temporary.c_str(), path.c_str()) == 0);
    if (!ok) {
        ::unlink(temporary.c_str());
        return fail("cannot write " + path + ": " + std::strerror(failed_errno));
    }
    sync_directory(directory_of(path));
    return true;
}

namespace {

// An earlier copy of `path` (any "<path>.unreadable-*") with exactly `text` in it, so that looking at
// the same broken file again does not pile up copies; empty when there is none.
std::string existing_copy_with(const std::string& path, const std::string& text) {
    const auto separator = path.find_last_of('/');
    const std::string leading = separator == std::string::npos ? "" : path.substr(0, separator + 1);
    const std::string prefix = path.substr(leading.size()) + ".unreadable-";
    DIR* dir = ::opendir(directory_of(path).c_str());
    if (dir == nullptr) return {};
    std::string found;
    while (const dirent* item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name.rfind(prefix, 0) != 0) continue;
        const std::string candidate = leading + name;
        std::string other;
        if (read_whole_file(candidate, other) && other == text) {
            found = candidate;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace

bool keep_file_aside(const std::string& path, std::time_t when, std::string* kept_as) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0) return errno == ENOENT;
    std::string text;
    if (!S_ISREG(existing.st_mode) || !read_whole_file(path, text)) return false;
    if (std::string earlier = existing_copy_with(path, text); !earlier.empty()) {
        if (kept_as) *kept_as = earlier;
        return true;
    }

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

}  // namespace vornmark
