#pragma once

#include <cstdint>
#include <functional>
#include <memory>
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

// Where the leaderboard keeps its runs: every run as it came, plus per processor and
// run type the sum and count of its scores, updated in the same transaction as each
// run so that the standings never read the runs themselves. Also keeps whatever
// several server processes on one store must share. Safe to call from several
// threads; failures throw StoreError.
class Store {
public:
    static constexpr int max_standings_rows = 100;

    virtual ~Store() = default;

    // In its own transaction; on return the transaction has committed.
    virtual void add(const Submission& submission) = 0;

    // Many runs in one transaction, for bulk loading and moving between stores.
    virtual void add_many(const std::vector<StoredRun>& runs) = 0;

    // Every stored run in the order stored, in batches of up to `batch_size`.
    virtual void for_each_batch(std::size_t batch_size,
                                const std::function<void(const std::vector<StoredRun>&)>& visit) = 0;

    virtual std::int64_t run_count() = 0;

    // One row per processor name for the run type: the integer mean of its scores
    // (truncated), best first, equal means by the byte order of the names; at most
    // max_standings_rows.
    virtual std::vector<StandingsRow> standings(std::string_view type) = 0;

    // Counts one submission attempt from the address and says whether it stays
    // within the limit per sliding minute. Refused attempts are not counted.
    virtual bool allow_submission(const std::string& address) = 0;
};

// "postgresql://..." or "postgres://..." opens a PostgreSQL database (a libpq
// connection URI); anything else is the path of an SQLite file. `per_minute` is the
// rate limit of allow_submission.
std::unique_ptr<Store> open_store(const std::string& location, int per_minute);

bool is_postgresql_location(const std::string& location);
