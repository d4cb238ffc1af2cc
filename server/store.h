#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "server/submission.h"

struct StandingsRow {
    std::string cpu;
    std::int64_t avg_score = 0;
    std::int64_t runs = 0;
};

// One stored run with the time it was stored (seconds since 1970, UTC).
struct StoredRun {
    Submission submission;
    std::int64_t submitted_at = 0;
};

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The database did not answer in time, could not be reached, or the store was
// interrupted: the call changed nothing, and may work again later.
class StoreUnavailable : public StoreError {
public:
    using StoreError::StoreError;
};

// A change was sent, but the database stopped answering before it said whether the
// change took effect: it may or may not have.
class StoreOutcomeUnknown : public StoreError {
public:
    using StoreError::StoreError;
};

// When a store call gives up (with StoreUnavailable), measured on the steady clock.
using Deadline = std::chrono::steady_clock::time_point;
inline constexpr std::chrono::seconds store_call_timeout{5};
inline Deadline store_call_deadline() {
    return std::chrono::steady_clock::now() + store_call_timeout;
}
inline constexpr Deadline no_deadline = Deadline::max();

// Where the leaderboard keeps its runs: every run as it came, plus per processor and
// run type the sum and count of its scores, updated in the same transaction as each
// run so that the standings never read the runs themselves. Also keeps whatever
// several server processes on one store must share. Safe to call from several
// threads; failures throw StoreError. Calls with a deadline wait for the database
// (a lock, a connection, an answer) at most until then.
class Store {
public:
    static constexpr int max_standings_rows = 100;

    virtual ~Store() = default;

    // In its own transaction; on return the transaction has committed. Throws
    // StoreUnavailable when it gave up before committing, StoreOutcomeUnknown when the
    // database stopped answering during the commit itself (which may then have happened).
    virtual void add(const Submission& submission, Deadline deadline = store_call_deadline()) = 0;

    // Many runs in one transaction, for bulk loading and moving between stores.
    virtual void add_many(const std::vector<StoredRun>& runs) = 0;

    // Every stored run in the order stored, in batches of up to `batch_size`.
    virtual void for_each_batch(std::size_t batch_size,
                                const std::function<void(const std::vector<StoredRun>&)>& visit) = 0;

    virtual std::int64_t run_count() = 0;

    // One row per processor name for the run type: the integer mean of its scores
    // (truncated), best first, equal means by the byte order of the names; at most
    // max_standings_rows.
    virtual std::vector<StandingsRow> standings(std::string_view type,
                                                Deadline deadline = store_call_deadline()) = 0;

    // The row of one processor, by its key (cpu_name_key), whether or not it is among the first
    // max_standings_rows; nothing when the run type has no such row. Reads that one row.
    virtual std::optional<StandingsRow> processor_row(std::string_view type, std::string_view cpu_key,
                                                      Deadline deadline = store_call_deadline()) = 0;

    // Counts one submission attempt from the address and says whether it stays
    // within the limit per sliding minute. Refused attempts are not counted.
    virtual bool allow_submission(const std::string& address, Deadline deadline = store_call_deadline()) = 0;

    // Makes every call waiting for the database now, and every later call, fail at once
    // with StoreUnavailable; for stopping the server whatever the database does.
    virtual void interrupt() = 0;
};

// "postgresql://..." or "postgres://..." opens a PostgreSQL database (a libpq
// connection URI); anything else is the path of an SQLite file. `per_minute` is the
// rate limit of allow_submission. Opening checks that the store can be written and
// gives up within about 10 s on a database that does not answer.
std::unique_ptr<Store> open_store(const std::string& location, int per_minute);

bool is_postgresql_location(const std::string& location);

// The location without its password, for messages and logs.
std::string redacted_location(const std::string& location);
