#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/pg_connection.h"
#include "server/store.h"

namespace vornmark::server {

// The runs in a PostgreSQL database, reached through libpq with a few connections
// that calls take in turn. Several server processes may share the database: the
// schema is created under a lock, and the rate limit lives in the database too, so it
// holds across processes. No call waits for the database past its deadline: a run is
// stored in an explicit transaction, so one whose COMMIT was never sent is certainly
// not stored.
class PostgresStore final : public Store {
public:
    // `uri`: a libpq connection URI, "postgresql://user@host:port/database".
    // Connects at once and checks that the tables can be written, so that a wrong URI,
    // a database that does not answer (within about 10 s) or a role without the rights
    // fails here.
    PostgresStore(const std::string& uri, const BoardRules& rules = {}, int connections = 4);
    PostgresStore(const std::string& uri, int per_minute, int connections = 4)
        : PostgresStore(uri, rules_with(per_minute), connections) {}
    ~PostgresStore() override;
    PostgresStore(const PostgresStore&) = delete;
    PostgresStore& operator=(const PostgresStore&) = delete;

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

private:
    class Lease;

    static BoardRules rules_with(int per_minute) {
        BoardRules rules;
        rules.per_minute = per_minute;
        return rules;
    }
    std::unique_ptr<PgConnection> acquire(Deadline deadline);
    // Makes everything derived from the runs anew (keys, bins, units, totals), inside the
    // caller's transaction.
    void rebuild_derived(PgConnection& connection, Deadline deadline);
    // Reads the bins of the rows and writes their totals (`first_names` for new rows, `new_units`
    // added to their units), inside the caller's transaction.
    void update_totals(PgConnection& connection, const std::string& type,
                       const std::vector<std::string>& keys, const std::vector<std::string>& first_names,
                       const std::vector<std::int64_t>& new_units, Deadline deadline,
                       std::vector<RowDistribution>* read = nullptr);
    std::vector<RowDistribution> read_rows(PgConnection& connection, std::string_view type,
                                           const std::vector<std::string>& keys, Deadline deadline);
    void log_refusal(PgConnection& connection, const Submission& s, const std::string& unit,
                     const std::string& now, const std::string& why, Deadline deadline);
    // COMMIT; after `last` in the same round trip when given.
    void commit(PgConnection& connection, Deadline deadline, const PgConnection::Statement* last = nullptr);
    void release(std::unique_ptr<PgConnection> connection);

    const std::string uri_;
    const BoardRules rules_;
    const int per_minute_;
    const std::size_t max_connections_;
    int stop_fd_ = -1;  // readable once interrupt() was called; every wait watches it
    std::atomic<bool> interrupted_{false};

    std::mutex mutex_;
    std::condition_variable returned_;
    std::vector<std::unique_ptr<PgConnection>> idle_;
    std::size_t open_ = 0;
    std::chrono::steady_clock::time_point last_sweep_{};
    std::atomic<std::int64_t> counters_swept_day_{0};  // the day whose older counters were dropped
};

}  // namespace vornmark::server
