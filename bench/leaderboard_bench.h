#pragma once

// What the leaderboard_load scenarios share: timing, one request with libcurl, raw connections
// from chosen loopback addresses, TLS clients that send a byte at a time, and the server's
// CPU time and memory.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include <openssl/ssl.h>

namespace vornmark::server {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

// The value below which a share p (0..1) of the values lie; reorders them.
double percentile(std::vector<double>& values, double p);
double seconds_since(Clock::time_point start);

struct Target {
    std::string base_url;  // https://localhost:PORT
    std::string ca_file;
};

struct Reply {
    long status = 0;  // 0: no reply (refused, closed, timed out)
    std::string body;
    double ms = 0;
};

// One request on a new TLS connection, from `from` (a loopback address) when given; bounded by
// 20 s. A body makes it a JSON POST.
Reply one_request(const Target& target, const std::string& path, const std::string& post_body = {},
                  const std::string& from = {});

// A TCP connection from a loopback address (all of 127.0.0.0/8 is loopback); -1 on failure.
int connect_from(const char* from, int port);
bool closed_by_peer(int fd);

// A TLS client that finishes the handshake, then sends `head` at once and `dripped` a byte at a
// time (starting over when it runs out); it connects again whenever the server has closed it.
struct TlsDripper {
    std::string from = {};
    std::string head = {};
    std::string dripped =
        "GET /api.php?type=single HTTP/1.1\r\nHost: localhost\r\nX-Slow: " + std::string(100000, 'a');
    int fd = -1;
    SSL* ssl = nullptr;
    std::size_t sent = 0;
    int reconnects = 0;

    void drop();
    void open(SSL_CTX* context, int port);
    // Sends the next byte (connecting again first if the server closed the connection).
    void step(SSL_CTX* context, int port);
};

// CPU time the process has used so far, user and system, in milliseconds; its resident memory.
double cpu_ms(pid_t pid);
long resident_kib(pid_t pid);

// A submission body.
std::string submission_body(const std::string& cpu, int score);

}  // namespace vornmark::server
