#pragma once

// A PostgreSQL server of the test's own: initdb and pg_ctl from Debian's postgresql
// package in a temporary directory, listening on a free loopback port with a unix
// socket directory of its own, stopped and removed at the end. PostgreSQL refuses to
// run as root, so under root its commands run as the `postgres` user the package
// creates. Free of any test framework.

#include <sys/types.h>

#include <string>
#include <vector>

namespace vornmark {

class PostgresServer {
public:
    // Throws std::runtime_error with the commands' output when it cannot start.
    // `durable`: commits wait for the disk as in production (for benchmarks); tests
    // leave it off, since the data goes with the directory.
    explicit PostgresServer(bool durable = false);
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    int port() const { return port_; }
    // "postgresql://postgres@127.0.0.1:PORT/DATABASE"
    std::string uri(const std::string& database = "postgres") const;
    // Stops the server (ending every connection to it) and starts it again on the same port.
    void restart();
    // Creates an empty database with a fresh name and returns its URI.
    std::string create_database();
    // The server's processes (the postmaster and its children), for stopping them in place.
    std::vector<pid_t> process_ids() const;

private:
    std::string command_path(const std::string& name) const;
    void run_as_owner(const std::vector<std::string>& argv) const;
    bool try_start();

    std::string bin_dir_;
    std::string directory_;
    int port_ = 0;
    int databases_made_ = 0;
    bool durable_ = false;
};

// Whether this machine has the postgresql package's server programs.
bool postgres_available();

}  // namespace vornmark
