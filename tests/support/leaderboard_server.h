#pragma once

// Starts the real vornmark-leaderboard binary on loopback for tests: a throw-away CA
// and a server certificate for localhost and 127.0.0.1 are made with the openssl
// command in a temporary directory, the server gets a free port and a fresh database
// there, and the helper waits until it listens. Free of any test framework, so that
// any test program (or an end-to-end script driver) can use it.

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vornmark {

struct LeaderboardServerOptions {
    // Submissions per minute and client address; generous so that ordinary tests never trip it.
    int rate_limit = 100000;
    // The limits of a public board (per address, and the score per thread); off by default, since
    // every test client comes from one address.
    bool public_board = false;
    // The server's --address-key: empty for a file in its temporary directory. Servers sharing a
    // database share it.
    std::string address_key{};
    // Plain HTTP instead of HTTPS (the server's --http flag).
    bool plain_http = false;
    // The server's --db: empty for an SQLite file in the server's temporary directory,
    // or a postgresql:// URI.
    std::string database{};
    // More flags for the server, e.g. {"--connections-per-address", "500"}.
    std::vector<std::string> extra_args{};
    // Bound on waiting for the server to listen.
    std::chrono::milliseconds start_timeout{10000};
};

class LeaderboardServerProcess {
public:
    // Makes the certificates, starts the server and waits until it accepts
    // connections; throws std::runtime_error (with the server's log) on failure.
    explicit LeaderboardServerProcess(LeaderboardServerOptions options = {});
    // Stops the server (SIGTERM, then SIGKILL if it hangs) and removes the directory.
    ~LeaderboardServerProcess();

    LeaderboardServerProcess(const LeaderboardServerProcess&) = delete;
    LeaderboardServerProcess& operator=(const LeaderboardServerProcess&) = delete;

    // "127.0.0.1"; the certificate also names "localhost".
    const std::string& host() const { return host_; }
    int port() const { return port_; }
    // PEM file of the throw-away CA that signed the server certificate.
    const std::string& ca_file() const { return ca_file_; }
    // The SQLite file or the PostgreSQL URI the server stores in.
    const std::string& db_path() const { return db_path_; }
    // The temporary directory holding certificates, database and log.
    const std::string& directory() const { return directory_; }
    // Base URL, "https://127.0.0.1:PORT" (or "http://..." in plain mode).
    std::string url() const;

    bool running() const { return pid_ > 0; }
    // Process id while running, for sending other signals; -1 otherwise.
    pid_t pid() const { return pid_; }
    // SIGTERM and wait (bounded; SIGKILL after 10 s). Returns the exit code, or 128 +
    // the signal number if a signal ended it, or -1 if it was not running.
    int stop();
    // SIGKILL and wait.
    void kill_hard();
    // Starts the server again on the same port with the same database and certificate;
    // stops it first if it is running.
    void restart();

    // Everything the server wrote to stdout and stderr so far (all its runs).
    std::string log_text() const;

private:
    void make_certificates();
    void start();

    LeaderboardServerOptions options_;
    std::string host_ = "127.0.0.1";
    std::string directory_;
    std::string ca_file_;
    std::string cert_file_;
    std::string key_file_;
    std::string db_path_;
    std::string log_path_;
    int port_ = 0;
    pid_t pid_ = -1;
};

// Path of the vornmark-leaderboard binary this build made.
std::string leaderboard_binary_path();

struct CommandResult {
    int exit_code = -1;  // 128 + signal number if a signal ended it
    std::string output;  // stdout and stderr together
};

// Runs a program (no shell) to completion with stdout and stderr captured, killing it
// after `timeout`. Throws std::runtime_error if it cannot be started.
CommandResult run_command(const std::vector<std::string>& argv,
                          std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

}  // namespace vornmark
