#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct MHD_Daemon;

namespace vornmark::server {

class Api;
class Timer;

// Limits of the HTTP layer. Defaults suit one public server; behind a proxy every
// client has the proxy's address, so the per-address limit must be raised there.
struct HttpLimits {
    unsigned connections = 1000;            // open at once in total
    unsigned connections_per_address = 64;  // open at once from one client address
    unsigned request_seconds = 10;          // for the request head, and then for its body
    unsigned threads = 4;                   // event threads, each serving many connections
};

// The request line and header lines together beyond this get 414 or 431.
inline constexpr std::size_t max_header_bytes = 16 * 1024;

struct HttpSettings {
    int listen_fd = -1;  // an open listening socket; the server takes it over
    bool ipv6 = false;
    bool tls = true;
    std::string cert_pem;  // PEM texts, not file names
    std::string key_pem;
    HttpLimits limits;
    // Behind a proxy: take the client's address (for the rate limit and the log) from
    // the X-Forwarded-For header the proxy adds. Only safe when the proxy is the sole
    // way in, since a client reaching the server directly can put anything there.
    bool trust_forwarded_for = false;
};

// The event-driven HTTP(S) layer in front of the Api: a few threads wait on all
// connections at once, so slow or silent clients cost a little memory each, never a
// thread, and no thread ever waits for the database (requests that need it are put
// aside until the Api answers). Each connection's memory is bounded, connections are
// limited in total and per client address, and a request must arrive within its
// deadlines (ConnectionGuard). Requests that break the protocol's rules get a JSON
// error and the connection is closed. One log line per answered request.
class HttpServer {
public:
    // Starts serving at once; throws std::runtime_error if the library refuses (for
    // example a certificate it cannot read).
    HttpServer(const HttpSettings& settings, Api& api, Timer& timer);
    // Stops: closes every connection and joins the threads. Every request handed to the
    // Api must have been answered by then.
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // No new connections from now on.
    void stop_accepting();
    // Waits (at most about a second) until every request the Api answered late has been
    // handed back to the library, so that it may be stopped.
    void wait_for_answers();

    struct Context;

private:
    std::unique_ptr<Context> context_;
    MHD_Daemon* daemon_ = nullptr;
};

}  // namespace vornmark::server
