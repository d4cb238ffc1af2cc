#pragma once

// The scenarios of leaderboard_load beyond plain load: clients that attack the server's
// connections, and faults of the database or the process. Each prints its own lines.

#include <string>
#include <sys/types.h>

#include "bench/leaderboard_bench.h"

namespace vornmark {
class PostgresServer;
}  // namespace vornmark

namespace vornmark::server {

// 16 slow-header TLS clients and 200 silent TCP connections while an ordinary client asks.
void slow_client_attack(const Target& target, int port, double seconds);
// 100 requests announcing 200 MB of headers each, while the server's memory is watched.
void header_flood(int port, pid_t server_pid);
// 1,000 TLS connections from 20 addresses, each sending a byte every 3 s, while an ordinary
// client from another address asks (target: every answer within 1 s).
void drip_flood(const Target& target, int port, double seconds);
// One connection dripping its head a byte every 5 s, one dripping its body: how long each stays.
void lone_drips(int port);
// As many silent connections as the server allows, then an ordinary client.
void idle_connections_at_the_limit(const Target& target, int port);

// PostgreSQL stopped (SIGSTOP) for `seconds` under GETs, POSTs and requests that need no database;
// then stopped again and the server sent SIGTERM. Every acknowledged run must be stored.
void stalled_database(PostgresServer& postgres, double seconds);
// kill -9 during an 8-thread POST burst, then a restart: acknowledged against stored runs.
void kill_during_post_burst(const std::string& store_name, const std::string& location);
// A database that takes connections but never answers, at start-up: exit code and time.
void unreachable_database_at_start();

}  // namespace vornmark::server
