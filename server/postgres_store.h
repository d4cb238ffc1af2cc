#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "server/store.h"

struct pg_conn;

// The runs in a PostgreSQL database, reached through libpq with a few connections
// that calls take in turn. Several server processes may share the database: the
// schema is created under a lock, and the rate limit lives in the database too, so it
// holds across processes.
class PostgresStore final : public Store {
public:
    // `uri`: a libpq connection URI, "postgresql://user@host:port/database".
    // Connects once at once, so that a wrong URI fails here.
    PostgresStore(const std::string& uri, int per_minute = 30, int connections = 4);
    ~PostgresStore() override;
    PostgresStore(const PostgresStore&) = delete;
    PostgresStore& operator=(const PostgresStore&) = delete;

    void add(const Submission& submission) override;
    void add_many(const std::vector<StoredRun>& runs) override;
    void for_each_batch(std::size_t batch_size,
                        const std::function<void(const std::vector<StoredRun>&)>& visit) override;
    std::int64_t run_count() override;
    std::vector<StandingsRow> standings(std::string_view type) override;
    bool allow_submission(const std::string& address) override;

private:
    class Lease;

    pg_conn* connect();
    pg_conn* acquire();
    void release(pg_conn* connection);

    const std::string uri_;
    const int per_minute_;
    const std::size_t max_connections_;

    std::mutex mutex_;
    std::condition_variable returned_;
    std::vector<pg_conn*> idle_;
    std::size_t open_ = 0;
    std::chrono::steady_clock::time_point last_sweep_{};
};

// The URI without its password, for messages and logs.
std::string redacted_location(const std::string& location);
