// Runs a command with the real leaderboard server listening on loopback (a throw-away CA, a
// fresh database), for test programs that cannot start it themselves: the Windows test
// programs under Wine. The command sees VORNMARK_TEST_SERVER_PORT and VORNMARK_TEST_SERVER_CA
// (the CA's PEM file as a Windows path on Wine's Z: drive). Exits with the command's exit code;
// prints the server's log when the command failed.
// Usage: with-leaderboard-server COMMAND [ARGS...]
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>

#include "tests/support/leaderboard_server.h"

using namespace vornmark;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: with-leaderboard-server COMMAND [ARGS...]\n");
        return 2;
    }
    try {
        LeaderboardServerProcess server;
        std::string windows_ca = "Z:" + server.ca_file();
        for (char& c : windows_ca)
            if (c == '/') c = '\\';
        ::setenv("VORNMARK_TEST_SERVER_PORT", std::to_string(server.port()).c_str(), 1);
        ::setenv("VORNMARK_TEST_SERVER_CA", windows_ca.c_str(), 1);

        const pid_t child = ::fork();
        if (child < 0) throw std::runtime_error("fork failed");
        if (child == 0) {
            ::execvp(argv[1], argv + 1);
            std::perror(argv[1]);
            ::_exit(127);
        }
        int status = 0;
        while (::waitpid(child, &status, 0) < 0) {
        }
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (code != 0) std::fprintf(stderr, "--- leaderboard server log ---\n%s", server.log_text().c_str());
        return code;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "with-leaderboard-server: %s\n", error.what());
        return 1;
    }
}
