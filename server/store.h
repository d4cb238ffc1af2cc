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

#include "server/row_statistics.h"
#include "server/submission.h"

namespace vornmark::server {

struct StandingsRow {
    std::string cpu;
    std::int64_t avg_score = 0;  // the robust average of the runs kept (RowDistribution)
    std::int64_t runs = 0;       // the runs kept
    std::string cpu_key;         // cpu_name_key of the row
};

// What a public leaderboard holds its submissions to; every limit has a server flag.
struct BoardRules {
    int per_minute = 30;                       // submission attempts per address unit and minute
    int runs_per_address = 5;                  // counted runs per address unit, row and day
    int new_names_per_day = 5;                 // new processor names per address unit and day
    int min_addresses = 1;                     // address units a row needs to be listed
    std::int64_t max_score_per_thread = 2000;  // above it a run is refused
    OutlierRule outliers;
    // A private board (a lab of machines behind one address): the limits per address unit
    // (runs counted per day, new names, address units per row) are off.
    bool private_board = false;
};

// How a submission ended: stored and counted, stored but not counted (`why` says why), or
// refused (`why` says why; nothing stored, the attempt logged for the operator).
struct SubmitOutcome {
    enum class Kind { counted, not_counted, refused };
    Kind kind = Kind::counted;
    std::string why;
    std::string cpu_key{};  // the row's key (cpu_name_key) when stored, so that no caller works it out again
};

// A run the operator may want to look at: one the outlier rule leaves out now, or one refused.
struct FlaggedRun {
    std::string cpu_name;
    std::string type;
    std::int64_t score = 0;
    std::int64_t threads = 0;
    std::int64_t submitted_at = 0;
    std::string why;
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

// Where the leaderboard keeps its runs: every run as it came (with whether it counts, and
// its address unit as a keyed hash), plus per processor and run type its counted runs in
// score bins and the row read from them, updated in the same transaction as each run so
// that the standings never read the runs themselves. Also keeps whatever
// several server processes on one store must share. Safe to call from several
// threads; failures throw StoreError. Calls with a deadline wait for the database
// (a lock, a connection, an answer) at most until then.
class Store {
public:
    static constexpr int max_standings_rows = 100;

    virtual ~Store() = default;

    // One submission from the address unit `unit` (its keyed hash; empty when unknown, which
    // counts as a unit of its own and meets no per-address limit), under the store's rules, in
    // its own transaction together with the row's bins and totals; on return the transaction
    // has committed. Throws StoreUnavailable when it gave up before committing,
    // StoreOutcomeUnknown when the database stopped answering during the commit itself (which
    // may then have happened).
    virtual SubmitOutcome submit(const Submission& submission, const std::string& unit,
                                 Deadline deadline = store_call_deadline()) = 0;
    SubmitOutcome add(const Submission& submission, Deadline deadline = store_call_deadline()) {
        return submit(submission, std::string(), deadline);
    }

    // Many runs in one transaction, for bulk loading and moving between stores: every run
    // counted, each as from an address unit of its own, no limit applied.
    virtual void add_many(const std::vector<StoredRun>& runs) = 0;

    // Every stored run in the order stored, in batches of up to `batch_size`.
    virtual void for_each_batch(std::size_t batch_size,
                                const std::function<void(const std::vector<StoredRun>&)>& visit) = 0;

    virtual std::int64_t run_count() = 0;

    // One row per processor name for the run type that is listed (not hidden, backed by
    // enough address units): its robust average, best first, equal averages by the byte order
    // of the names; at most max_standings_rows.
    virtual std::vector<StandingsRow> standings(std::string_view type,
                                                Deadline deadline = store_call_deadline()) = 0;

    // The row of one processor, by its key (cpu_name_key), whether or not it is among the first
    // max_standings_rows; nothing when the run type has no such row. Reads that one row.
    virtual std::optional<StandingsRow> processor_row(std::string_view type, std::string_view cpu_key,
                                                      Deadline deadline = store_call_deadline()) = 0;

    // Every listed row of the type, in no particular order: what places among the rows are
    // counted in. Reads the rows, never the runs.
    virtual std::vector<StandingsRow> listed_rows(std::string_view type,
                                                  Deadline deadline = store_call_deadline()) = 0;

    // A listed row (as processor_row) with its distribution (as distribution), in one read; nothing
    // when the run type has no such listed row.
    struct RowWithDistribution {
        StandingsRow row;
        RowDistribution distribution;
    };
    virtual std::optional<RowWithDistribution>
    listed_row_with_distribution(std::string_view type, std::string_view cpu_key,
                                 Deadline deadline = store_call_deadline()) = 0;

    // The distribution of one row by its key (read from its bins, a bounded amount whatever
    // the number of runs); nothing when the run type has no such row.
    virtual std::optional<RowDistribution> distribution(std::string_view type, std::string_view cpu_key,
                                                        Deadline deadline = store_call_deadline()) = 0;
    // The same for many rows at once (one read); an empty distribution for a key without a row.
    virtual std::vector<RowDistribution> distributions(std::string_view type,
                                                       const std::vector<std::string>& cpu_keys,
                                                       Deadline deadline = store_call_deadline()) = 0;

    // Moderation, against a live database. The runs the outlier rule leaves out now, and the
    // refused attempts logged, newest first (at most `limit` of each).
    virtual std::vector<FlaggedRun> flagged(std::size_t limit) = 0;
    // Takes the rows of a processor name (both run types) out of the standings, or puts them
    // back; false when no row has that name's key.
    virtual bool set_hidden(const std::string& cpu_name, bool hidden) = 0;
    // Uncounts every run from the address unit; returns how many runs that were.
    virtual std::int64_t forget_unit(const std::string& unit) = 0;

    // Counts one submission attempt from the address and says whether it stays
    // within the limit per sliding minute. Refused attempts are not counted.
    virtual bool allow_submission(const std::string& address, Deadline deadline = store_call_deadline()) = 0;

    // Makes every call waiting for the database now, and every later call, fail at once
    // with StoreUnavailable; for stopping the server whatever the database does.
    virtual void interrupt() = 0;

    // Whether another connection (another process: an operator's command, another server) has
    // written the database since the last call; the first call only starts counting. A store
    // whose changes are announced otherwise (PostgreSQL's notices) cannot say: nullopt.
    virtual std::optional<bool> written_elsewhere(Deadline deadline) {
        (void)deadline;
        return std::nullopt;
    }
};

// Whether a store location names a PostgreSQL database ("postgresql://..." or "postgres://...",
// a libpq connection URI) rather than an SQLite file; open_store (store_factory.h) opens either.
bool is_postgresql_location(const std::string& location);

// The location without its password, for messages and logs.
std::string redacted_location(const std::string& location);

}  // namespace vornmark::server
