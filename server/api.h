#pragma once

#include <cstddef>

namespace httplib {
class Server;
}
class Store;
class RateLimiter;

// Largest request body the server reads; bigger ones get status 413.
inline constexpr std::size_t max_body_bytes = 4096;

// Routes of the leaderboard on "/api.php" (GET standings, POST a submission), JSON
// error bodies for every other outcome, and one log line per request.
// The store and the limiter must outlive the server.
void install_api(httplib::Server& server, Store& store, RateLimiter& limiter);
