#pragma once

#include "net/http.h"
#include "tests/support/leaderboard_server.h"

namespace vornmark {

// Where the tests' clients send their requests.

// The real leaderboard server a test started.
inline HttpEndpoint endpoint_of(const LeaderboardServerProcess& server) {
    return HttpEndpoint{server.host(), server.port(), server.ca_file()};
}

// Port 1 on loopback: nothing listens there, so a request fails at once.
inline HttpEndpoint unreachable_endpoint() {
    return HttpEndpoint{"127.0.0.1", 1, ""};
}

}  // namespace vornmark
