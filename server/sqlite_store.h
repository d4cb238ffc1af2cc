#pragma once

#include <mutex>
#include <string>

#include "server/rate_limiter.h"
#include "server/store.h"

struct sqlite3;
struct sqlite3_stmt;

// The runs in one SQLite file, on one connection that every call takes in turn.
// The rate limit lives in this process's memory: an SQLite leaderboard is served by
// one process.
class SqliteStore final : public Store {
public:
    // `busy_timeout_ms`: how long a write waits for another connection's lock before failing.
    explicit SqliteStore(const std::string& path, int per_minute = 30, int busy_timeout_ms = 5000);
    ~SqliteStore() override;
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

    void add(const Submission& submission) override;
    void add_many(const std::vector<StoredRun>& runs) override;
    void for_each_batch(std::size_t batch_size,
                        const std::function<void(const std::vector<StoredRun>&)>& visit) override;
    std::int64_t run_count() override;
    std::vector<StandingsRow> standings(std::string_view type) override;
    bool allow_submission(const std::string& address) override;

private:
    struct Statements;

    void execute(const char* sql);
    sqlite3_stmt* prepare(const char* sql);
    void upgrade_schema();
    void insert_run(const StoredRun& run);
    template <typename Work>
    void in_transaction(Work work);
    [[noreturn]] void fail(const char* what);
    void close();

    std::mutex mutex_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* begin_ = nullptr;
    sqlite3_stmt* commit_ = nullptr;
    sqlite3_stmt* rollback_ = nullptr;
    sqlite3_stmt* insert_run_ = nullptr;
    sqlite3_stmt* add_to_totals_ = nullptr;
    sqlite3_stmt* standings_ = nullptr;
    RateLimiter limiter_;
};
