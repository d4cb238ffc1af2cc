#pragma once

#include <cstddef>
#include <string>

struct MHD_Daemon;
class Api;

// Limits of the HTTP layer. Defaults suit one public server; behind a proxy every
// client has the proxy's address, so the per-address limit must be raised there.
struct HttpLimits {
    unsigned connections = 1000;            // open at once in total
    unsigned connections_per_address = 64;  // open at once from one client address
    unsigned idle_timeout_seconds = 10;     // a connection silent this long is closed
    unsigned threads = 4;                   // event threads, each serving many connections
};

// Request headers (the request line and every header line) beyond this get 431.
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
// thread. Each connection's memory is bounded (headers included), connections are
// limited in total and per client address, and idle ones are closed. Requests with
// conflicting or malformed framing get 400 and close the connection. One log line per
// answered request.
class HttpServer {
public:
    // Starts serving at once; throws std::runtime_error if the library refuses (for
    // example a certificate it cannot read).
    HttpServer(const HttpSettings& settings, Api& api);
    // Stops: closes every connection and joins the threads.
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

private:
    MHD_Daemon* daemon_ = nullptr;
};
