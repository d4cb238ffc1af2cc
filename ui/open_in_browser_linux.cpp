#include "ui/open_in_browser.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

extern char** environ;

namespace vornmark {

namespace {

// xdg-open in one of the folders of PATH.
bool xdg_open_installed() {
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "/usr/bin:/bin";
    while (!folders.empty()) {
        const std::size_t colon = folders.find(':');
        const std::string folder(folders.substr(0, colon));
        if (!folder.empty() && access((folder + "/xdg-open").c_str(), X_OK) == 0) return true;
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
    }
    return false;
}

}  // namespace

std::string open_in_browser(const std::string& url) {
    if (!is_openable_url(url)) return "Not opened: only an https:// address is handed to the browser";
    if (!xdg_open_installed()) return "Not opened: xdg-open is not installed (Debian package xdg-utils)";
    // A shell that starts xdg-open in the background and ends at once, so that nothing here waits
    // for the browser; the address is an argument, never part of the command. A session of its own
    // keeps the browser clear of the terminal's Ctrl-C.
    const char* const argv[] = {"/bin/sh", "-c",        "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &",
                                "sh",      url.c_str(), nullptr};
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = -1;
    const int failed =
        posix_spawn(&pid, "/bin/sh", nullptr, &attributes, const_cast<char* const*>(argv), environ);
    posix_spawnattr_destroy(&attributes);
    if (failed != 0) return "Not opened: the browser could not be started";
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return {};
}

}  // namespace vornmark
