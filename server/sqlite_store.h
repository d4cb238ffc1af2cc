#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "server/rate_limiter.h"
#include "server/store.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vornmark::server {

// Owns one prepared statement: finalized on destruction, whatever way the scope is left.
class SqliteStatement {
public:
    SqliteStatement() = default;
    explicit SqliteStatement(sqlite3_stmt* statement) : statement_(statement) {}
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept : statement_(other.statement_) {
        other.statement_ = nullptr;
    }
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    sqlite3_stmt* get() const { return statement_; }

private:
    sqlite3_stmt* statement_ = nullptr;
};

// The runs in one SQLite file, on one connection that every call takes in turn.
// The rate limit lives in this process's memory: an SQLite leaderboard is served by
// one process. A call waits for another connection's lock, or for its turn on this
// one, until its deadline.
class SqliteStore final : public Store {
public:
    // Opens or creates the file, migrates an older one and checks that it can be written.
    explicit SqliteStore(const std::string& path, const BoardRules& rules = {});
    SqliteStore(const std::string& path, int per_minute) : SqliteStore(path, rules_with(per_minute)) {}
    ~SqliteStore() override;
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

    SubmitOutcome submit(const Submission& submission, const std::string& unit,
                         Deadline deadline = store_call_deadline()) override;
    void add_many(const std::vector<StoredRun>& runs) override;
    void for_each_batch(std::size_t batch_size,
                        const std::function<void(const std::vector<StoredRun>&)>& visit) override;
    std::int64_t run_count() override;
    std::vector<StandingsRow> standings(std::string_view type,
                                        Deadline deadline = store_call_deadline()) override;
    std::optional<StandingsRow> processor_row(std::string_view type, std::string_view cpu_key,
                                              Deadline deadline = store_call_deadline()) override;
    std::vector<StandingsRow> listed_rows(std::string_view type, Deadline deadline) override;
    std::optional<RowWithDistribution>
    listed_row_with_distribution(std::string_view type, std::string_view cpu_key, Deadline deadline) override;
    std::optional<RowDistribution> distribution(std::string_view type, std::string_view cpu_key,
                                                Deadline deadline) override;
    std::vector<RowDistribution> distributions(std::string_view type,
                                               const std::vector<std::string>& cpu_keys,
                                               Deadline deadline) override;
    std::vector<FlaggedRun> flagged(std::size_t limit) override;
    bool set_hidden(const std::string& cpu_name, bool hidden) override;
    std::int64_t forget_unit(const std::string& unit) override;
    bool allow_submission(const std::string& address, Deadline deadline = store_call_deadline()) override;
    void interrupt() override;
    std::optional<bool> written_elsewhere(Deadline deadline) override;

private:
    class Turn;
    class ReaderTurn;
    struct QueuedSubmission;

    static BoardRules rules_with(int per_minute) {
        BoardRules rules;
        rules.per_minute = per_minute;
        return rules;
    }
    static int on_busy(void* store, int attempts);
    static int on_reader_busy(void* store, int attempts);
    void execute(const char* sql);
    SqliteStatement prepare(const char* sql);
    void upgrade_schema();
    void rebuild_derived();
    std::vector<ThreadBin> row_bins(std::string_view type, std::string_view cpu_key);
    static std::vector<ThreadBin> bins_of(const SqliteStatement& read_bins, std::string_view type,
                                          std::string_view cpu_key);
    // Reads the row's bins and writes its totals; `name` is the spelling for a new row.
    RowDistribution update_totals(const std::string& type, const std::string& cpu_key,
                                  const std::string& name, std::int64_t new_units);
    // Writes the totals of a row whose bins are known.
    RowDistribution write_totals(const std::string& type, const std::string& cpu_key, const std::string& name,
                                 std::vector<ThreadBin> bins, std::int64_t new_units);
    // Empties the rows kept in memory unless the file is as this connection left it.
    std::int64_t data_version();
    void check_kept_rows();
    // Makes the rows' bins, units and totals anew from their counted runs.
    void rebuild_rows(const std::set<std::pair<std::string, std::string>>& rows);
    void add_to_bins(const std::string& type, const std::string& cpu_key, std::int64_t threads,
                     std::int64_t score);
    void insert_run(const StoredRun& run, const std::string& cpu_key, const std::string& unit, bool counted,
                    const std::string& why);
    void log_refusal(const Submission& s, const std::string& unit, std::int64_t at, const std::string& why);
    // One submission's statements, inside the caller's transaction.
    SubmitOutcome store_one(const Submission& s, const std::string& key, const std::string& unit,
                            std::int64_t now);
    template <typename Work>
    void in_transaction(Work work);
    [[noreturn]] void fail(const char* what);
    void close();

    const BoardRules rules_;
    // One call at a time has the connection (its turn); the others wait until theirs or
    // their deadline.
    std::mutex turn_mutex_;
    std::condition_variable turn_free_;
    bool busy_ = false;
    Deadline call_deadline_ = no_deadline;  // of the call whose turn it is; read by on_busy
    std::atomic<bool> interrupted_{false};
    sqlite3* db_ = nullptr;
    SqliteStatement begin_, commit_, rollback_;
    SqliteStatement insert_run_, known_name_, names_today_, count_new_name_, count_daily_run_;
    SqliteStatement add_bin_, row_bins_, add_unit_, upsert_totals_;
    SqliteStatement standings_, processor_row_, log_refusal_, trim_refusals_;
    SqliteStatement savepoint_, release_, rollback_to_;
    std::deque<std::shared_ptr<QueuedSubmission>> queued_;  // waiting for a turn; under turn_mutex_
    // A second connection, read-only, for the long reads of every listed row (the board's places
    // and distributions, in the background): in WAL mode it reads beside the first, so that the
    // requests' reads and the submissions do not wait while it runs.
    // Its hold is a flag under a mutex, as the first connection's, not a timed mutex: the sanitizer
    // does not see a timed mutex taken with a deadline, and reports its unlock as a fault.
    std::mutex reader_mutex_;
    std::condition_variable reader_free_;
    bool reader_busy_ = false;                // under reader_mutex_
    Deadline reader_deadline_ = no_deadline;  // of the read holding the reader; read by on_reader_busy
    sqlite3* reader_ = nullptr;
    SqliteStatement reader_bins_, reader_listed_;
    RateLimiter limiter_;
    // The rows submissions touched lately, as stored (their bins, and address units known to be in
    // row_units), so that the next run of a row needs neither read. Valid only while no other
    // connection has written: checked by the file's data version at the start of each submitting
    // transaction, and emptied after any failure or other write of this connection. In a turn.
    struct KeptRow {
        std::vector<ThreadBin> bins;
        std::set<std::string> units;
    };
    std::map<std::pair<std::string, std::string>, KeptRow> kept_rows_;
    std::int64_t kept_rows_version_ = -1;
    std::int64_t watched_version_ = -1;  // written_elsewhere's, under the turn
    SqliteStatement data_version_;
    std::int64_t counters_swept_day_ = 0;  // the day whose older counters were dropped; in a turn
};

}  // namespace vornmark::server
