#pragma once

// A virtual X server for the tests that need a display, started by the test itself.
// Xvfb picks a free display number and reports it once it accepts clients
// (-displayfd), so parallel test programs never race for one.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

extern char** environ;

namespace vornmark::app {

class XvfbDisplay {
public:
    // Starts the server with one screen of `screen` ("1920x1080x24") and points
    // DISPLAY at it for this process and the programs it starts.
    explicit XvfbDisplay(const char* screen = "640x480x24") {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        const std::string fd_text = std::to_string(fds[1]);
        // -noreset: by default the server resets whenever its last client leaves, and
        // a program connecting during that moment is refused.
        const char* argv[] = {"Xvfb", "-displayfd", fd_text.c_str(), "-screen", "0",
                              screen, "-noreset",   "-nolisten",     "tcp",     nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        std::string number;
        char c = 0;
        while (pid_ > 0 && read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        if (!number.empty()) {
            display_ = ":" + number;
            setenv("DISPLAY", display_.c_str(), 1);
        }
    }
    ~XvfbDisplay() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;
    bool ready() const { return !display_.empty(); }
    const std::string& name() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace vornmark::app
