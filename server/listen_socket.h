#pragma once

#include <string>

namespace vornmark::server {

// A listening TCP socket opened by the server itself rather than by the HTTP library,
// so that a port in use is an error: SO_REUSEADDR only (restarts while old
// connections linger), never SO_REUSEPORT, which would let a second server share the
// port and split the clients between two databases.
struct ListenSocket {
    int fd = -1;
    int port = 0;  // the port taken (the kernel's choice when 0 was asked for)
    bool ipv6 = false;
    std::string error;  // why it failed, e.g. "Address already in use"; empty on success
};

ListenSocket open_listen_socket(const std::string& host, int port);

}  // namespace vornmark::server
