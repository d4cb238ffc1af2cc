#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

#include "server/rate_limiter.h"
#include "server/store.h"

struct sqlite3;
struct sqlite3_stmt;

// The runs in one SQLite file, on one connection that every call takes in turn.
// The rate limit lives in this process's memory: an SQLite leaderboard is served by
// one process. A call waits for another connection's lock, or for its turn on this
// one, until its deadline.
class SqliteStore final : public Store {
public:
    // Opens or creates the file and checks that it can be written (one small commit).
    explicit SqliteStore(const std::string& path, int per_minute = 30);
    ~SqliteStore() override;
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

    void add(const Submission& submission, Deadline deadline = store_call_deadline()) override;
    void add_many(const std::vector<StoredRun>& runs) override;
    void for_each_batch(std::size_t batch_size,
                        const std::function<void(const std::vector<StoredRun>&)>& visit) override;
    std::int64_t run_count() override;
    std::vector<StandingsRow> standings(std::string_view type,
                                        Deadline deadline = store_call_deadline()) override;
    std::optional<StandingsRow> processor_row(std::string_view type, std::string_view cpu_key,
                                              Deadline deadline = store_call_deadline()) override;
    bool allow_submission(const std::string& address, Deadline deadline = store_call_deadline()) override;
    void interrupt() override;

private:
    class Turn;

    static int on_busy(void* store, int attempts);
    void execute(const char* sql);
    sqlite3_stmt* prepare(const char* sql);
    void upgrade_schema();
    void rebuild_totals();
    void insert_run(const StoredRun& run);
    template <typename Work>
    void in_transaction(Work work);
    [[noreturn]] void fail(const char* what);
    void close();

    // One call at a time has the connection (its turn); the others wait until theirs or
    // their deadline.
    std::mutex turn_mutex_;
    std::condition_variable turn_free_;
    bool busy_ = false;
    Deadline call_deadline_ = no_deadline;  // of the call whose turn it is; read by on_busy
    std::atomic<bool> interrupted_{false};
    sqlite3* db_ = nullptr;
    sqlite3_stmt* begin_ = nullptr;
    sqlite3_stmt* commit_ = nullptr;
    sqlite3_stmt* rollback_ = nullptr;
    sqlite3_stmt* insert_run_ = nullptr;
    sqlite3_stmt* add_to_totals_ = nullptr;
    sqlite3_stmt* standings_ = nullptr;
    sqlite3_stmt* processor_row_ = nullptr;
    RateLimiter limiter_;
};
