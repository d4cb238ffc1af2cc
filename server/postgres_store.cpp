#include "server/postgres_store.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

#include "server/board_rules.h"
#include "server/board_sql.h"
#include "server/cpu_name.h"
#include "server/pg_connection.h"
#include "server/row_notices.h"

namespace vornmark::server {

namespace {

// Every statement this store runs. Names sort as bytes ("C" collation), as in the
// SQLite store.
namespace sql {

// Held while the schema is created, so that two processes starting together do not race.
const char* const schema_lock = "SELECT pg_advisory_xact_lock(7305162019)";
const char* const create_schema =
    "CREATE TABLE IF NOT EXISTS submissions ("
    " id bigserial PRIMARY KEY,"
    " cpu_name text COLLATE \"C\" NOT NULL,"
    " type text NOT NULL CHECK (type IN ('single', 'multi')),"
    " score integer NOT NULL CHECK (score > 0),"
    " threads integer NOT NULL CHECK (threads > 0),"
    " submitted_at bigint NOT NULL);"
    "CREATE TABLE IF NOT EXISTS leaderboard_meta (name text PRIMARY KEY, value text NOT NULL);"
    // Submission attempts of the last minute per address, for the rate limit. Unlogged:
    // after a crash of the database they start empty, which only forgives a minute.
    "CREATE UNLOGGED TABLE IF NOT EXISTS submission_attempts (address text NOT NULL, at timestamptz NOT "
    "NULL);"
    "CREATE INDEX IF NOT EXISTS submission_attempts_by_address ON submission_attempts (address, at);";

// Added to the runs of an older database: each run's row key, its address unit (a keyed
// hash; NULL for runs from before, each taken as a unit of its own), whether it counts and
// why not. Then the counters of the limits per address unit and day, the hidden rows and
// the log of refused attempts.
const char* const upgrade_schema =
    "ALTER TABLE submissions ADD COLUMN IF NOT EXISTS cpu_key text COLLATE \"C\";"
    "ALTER TABLE submissions ADD COLUMN IF NOT EXISTS unit text;"
    "ALTER TABLE submissions ADD COLUMN IF NOT EXISTS counted boolean NOT NULL DEFAULT true;"
    "ALTER TABLE submissions ADD COLUMN IF NOT EXISTS why text;"
    "CREATE INDEX IF NOT EXISTS submissions_by_row ON submissions (type, cpu_key);"
    "CREATE INDEX IF NOT EXISTS submissions_by_unit ON submissions (unit) WHERE unit IS NOT NULL;"
    "CREATE TABLE IF NOT EXISTS unit_day_runs (unit text NOT NULL, day bigint NOT NULL, type text NOT NULL,"
    " cpu_key text COLLATE \"C\" NOT NULL, runs bigint NOT NULL, PRIMARY KEY (unit, day, type, cpu_key));"
    "CREATE TABLE IF NOT EXISTS unit_day_names (unit text NOT NULL, day bigint NOT NULL, names bigint NOT "
    "NULL,"
    " PRIMARY KEY (unit, day));"
    "CREATE TABLE IF NOT EXISTS hidden_rows (cpu_key text COLLATE \"C\" PRIMARY KEY, cpu_name text NOT NULL);"
    "CREATE TABLE IF NOT EXISTS refused_runs (id bigserial PRIMARY KEY, cpu_name text NOT NULL,"
    " type text NOT NULL, score bigint NOT NULL, threads bigint NOT NULL, unit text, submitted_at bigint NOT "
    "NULL,"
    " why text NOT NULL);";

// Derived from the runs, and made anew from them: per run type and look-alike key the
// name shown (the first spelling seen), the counted runs in bins per thread count, the
// address units behind the row, and the row read from its bins, ranked in index order.
const char* const create_derived =
    "DROP TABLE IF EXISTS standings_totals; DROP TABLE IF EXISTS row_bins; DROP TABLE IF EXISTS row_units;"
    "CREATE TABLE standings_totals (type text NOT NULL, cpu_key text COLLATE \"C\" NOT NULL,"
    " cpu_name text COLLATE \"C\" NOT NULL, avg_score bigint NOT NULL, runs bigint NOT NULL,"
    " units bigint NOT NULL, PRIMARY KEY (type, cpu_key));"
    "CREATE INDEX standings_totals_ranked ON standings_totals (type, avg_score DESC, cpu_name);"
    "CREATE TABLE row_bins (type text NOT NULL, cpu_key text COLLATE \"C\" NOT NULL, threads integer NOT "
    "NULL,"
    " bin integer NOT NULL, runs bigint NOT NULL, score_sum bigint NOT NULL,"
    " PRIMARY KEY (type, cpu_key, threads, bin));"
    "CREATE TABLE row_units (type text NOT NULL, cpu_key text COLLATE \"C\" NOT NULL, unit text NOT NULL,"
    " PRIMARY KEY (type, cpu_key, unit));";
const char* const name_key_version = "SELECT value FROM leaderboard_meta WHERE name = 'name_keys'";
const char* const set_name_key_version = "INSERT INTO leaderboard_meta (name, value) VALUES ('name_keys', $1)"
                                         " ON CONFLICT (name) DO UPDATE SET value = excluded.value";
// What the derived tables were made by: this schema and the name keys' rules.
const std::string derived_by_prefix = "schema 3, ";

const char* const spellings = "SELECT cpu_name FROM submissions GROUP BY cpu_name";
const char* const create_spelling_keys = "CREATE TEMP TABLE spelling_keys (cpu_name text COLLATE \"C\" "
                                         "PRIMARY KEY, cpu_key text COLLATE \"C\" NOT NULL)"
                                         " ON COMMIT DROP";
const char* const insert_spelling_keys =
    "INSERT INTO spelling_keys SELECT * FROM unnest($1::text[], $2::text[])";
const char* const key_every_run = "UPDATE submissions s SET cpu_key = k.cpu_key FROM spelling_keys k"
                                  " WHERE k.cpu_name = s.cpu_name AND s.cpu_key IS DISTINCT FROM k.cpu_key;"
                                  "DROP TABLE spelling_keys";
// $1: the floors of the score bins.
const char* const fill_bins = "INSERT INTO row_bins (type, cpu_key, threads, bin, runs, score_sum)"
                              " SELECT type, cpu_key, threads, width_bucket(score::bigint, $1::bigint[]) - 1,"
                              " COUNT(*), SUM(score) FROM submissions WHERE counted GROUP BY 1, 2, 3, 4";
const char* const fill_units =
    "INSERT INTO row_units (type, cpu_key, unit) SELECT DISTINCT type, cpu_key, unit"
    " FROM submissions WHERE counted AND unit IS NOT NULL";
const char* const row_heads =
    "SELECT f.type, f.cpu_key, s.cpu_name, COALESCE(u.units, 0) FROM"
    " (SELECT type, cpu_key, MIN(id) AS id FROM submissions GROUP BY type, cpu_key) f"
    " JOIN submissions s ON s.id = f.id LEFT JOIN"
    " (SELECT type, cpu_key, COUNT(DISTINCT unit) + SUM(CASE WHEN unit IS NULL THEN 1 ELSE 0 END) AS units"
    " FROM submissions WHERE counted GROUP BY type, cpu_key) u ON u.type = f.type AND u.cpu_key = f.cpu_key";
const char* const all_bins = "SELECT type, cpu_key, threads, bin, runs, score_sum FROM row_bins";
const char* const rows_bins = "SELECT cpu_key, threads, bin, runs, score_sum FROM row_bins"
                              " WHERE type = $1 AND cpu_key = ANY($2::text[])";
// The name of an existing row stays.
const char* const upsert_totals =
    "INSERT INTO standings_totals (type, cpu_key, cpu_name, avg_score, runs, units)"
    " SELECT $1, * FROM unnest($2::text[], $3::text[], $4::bigint[], $5::bigint[], $6::bigint[])"
    " ON CONFLICT (type, cpu_key) DO UPDATE SET avg_score = excluded.avg_score, runs = excluded.runs,"
    " units = standings_totals.units + excluded.units";

// Privileges and a writable database, checked at start: a role that may read but not
// write would otherwise start and then fail every submission.
const char* const may_write =
    "SELECT NOT current_setting('transaction_read_only')::bool"
    " AND has_table_privilege('submissions', 'INSERT, UPDATE')"
    " AND has_sequence_privilege(pg_get_serial_sequence('submissions', 'id'), 'USAGE')"
    " AND has_table_privilege('standings_totals', 'INSERT, UPDATE')"
    " AND has_table_privilege('row_bins', 'INSERT, UPDATE')"
    " AND has_table_privilege('submission_attempts', 'INSERT, DELETE')";

// One submission: its row is locked (writers of one row take turns, in every process), then
// the limits are read, the run stored and counted, and the row's totals read from its bins.
const char* const row_lock = "SELECT pg_advisory_xact_lock(hashtextextended($1, 7305))";
// Any row may have changed (an operator's command): every process drops what it kept.
const std::string notice_all_rows = "SELECT pg_notify('" + std::string(row_notice_channel) + "', '')";
const char* const limits_now =
    "SELECT EXISTS (SELECT 1 FROM standings_totals WHERE type IN ('single', 'multi') AND cpu_key = $1),"
    " COALESCE((SELECT names FROM unit_day_names WHERE unit = $2 AND day = $3::bigint), 0)";
const char* const count_new_name = "INSERT INTO unit_day_names (unit, day, names) VALUES ($1, $2::bigint, 1)"
                                   " ON CONFLICT (unit, day) DO UPDATE SET names = unit_day_names.names + 1";
const char* const count_daily_run =
    "INSERT INTO unit_day_runs (unit, day, type, cpu_key, runs) VALUES ($1, $2::bigint, $3, $4, 1)"
    " ON CONFLICT (unit, day, type, cpu_key) DO UPDATE SET runs = unit_day_runs.runs + 1 RETURNING runs";
const char* const forget_old_runs = "DELETE FROM unit_day_runs WHERE day < $1::bigint";
const char* const forget_old_names = "DELETE FROM unit_day_names WHERE day < $1::bigint";
const char* const add_run =
    "WITH run AS (INSERT INTO submissions (cpu_name, type, score, threads, submitted_at, cpu_key, unit, "
    "counted, why)"
    " VALUES ($1, $2, $3::integer, $4::integer, $5::bigint, $6, NULLIF($7, ''), $8::boolean, NULLIF($9, '')))"
    " INSERT INTO row_bins (type, cpu_key, threads, bin, runs, score_sum)"
    " SELECT $2, $6, $4::integer, $10::integer, 1, $3::bigint WHERE $8::boolean"
    " ON CONFLICT (type, cpu_key, threads, bin) DO UPDATE SET runs = row_bins.runs + 1,"
    " score_sum = row_bins.score_sum + excluded.score_sum";
const char* const row_bins =
    "SELECT threads, bin, runs, score_sum FROM row_bins WHERE type = $1 AND cpu_key = $2";
const char* const add_totals =
    "WITH unit AS (INSERT INTO row_units (type, cpu_key, unit) SELECT $1, $2, $6 WHERE $6 <> ''"
    " ON CONFLICT DO NOTHING RETURNING 1)"
    " INSERT INTO standings_totals (type, cpu_key, cpu_name, avg_score, runs, units)"
    " VALUES ($1, $2, $3, $4::bigint, $5::bigint, CASE WHEN $6 = '' THEN 1 ELSE (SELECT COUNT(*) FROM unit) "
    "END)"
    " ON CONFLICT (type, cpu_key) DO UPDATE SET avg_score = excluded.avg_score, runs = excluded.runs,"
    " units = standings_totals.units + excluded.units";
const char* const log_refusal =
    "INSERT INTO refused_runs (cpu_name, type, score, threads, unit, submitted_at, why)"
    " VALUES ($1, $2, $3::bigint, $4::bigint, NULLIF($5, ''), $6::bigint, $7)";
// The refusals log keeps the latest ones only, so that a flood cannot fill the disk.
const char* const trim_refusals =
    "DELETE FROM refused_runs WHERE id <= (SELECT MAX(id) FROM refused_runs) - 10000";

const char* const rows_with_bins = "SELECT DISTINCT type, cpu_key FROM row_bins";
const char* const runs_in_bin = "SELECT cpu_name, score, submitted_at FROM submissions WHERE type = $1"
                                " AND cpu_key = $2 AND threads = $3::integer AND score >= $4::bigint"
                                " AND score < $5::bigint AND counted ORDER BY id DESC LIMIT $6::bigint";
const char* const refusals = "SELECT cpu_name, type, score, threads, submitted_at, why FROM refused_runs"
                             " ORDER BY id DESC LIMIT $1::bigint";
const char* const known_name =
    "SELECT 1 FROM standings_totals WHERE type IN ('single', 'multi') AND cpu_key = $1";
const char* const hide = "INSERT INTO hidden_rows (cpu_key, cpu_name) VALUES ($1, $2) ON CONFLICT DO NOTHING";
const char* const unhide = "DELETE FROM hidden_rows WHERE cpu_key = $1";
const char* const rows_of_unit = "SELECT DISTINCT type, cpu_key FROM submissions WHERE unit = $1 AND counted";
const char* const forget_unit =
    "UPDATE submissions SET counted = false, why = 'address forgotten by the operator'"
    " WHERE unit = $1 AND counted";
// $3: the floors of the score bins.
const char* const rebuild_row[] = {
    "DELETE FROM row_bins WHERE type = $1 AND cpu_key = $2 AND $3 <> ''",
    "DELETE FROM row_units WHERE type = $1 AND cpu_key = $2 AND $3 <> ''",
    "INSERT INTO row_bins (type, cpu_key, threads, bin, runs, score_sum)"
    " SELECT type, cpu_key, threads, width_bucket(score::bigint, $3::bigint[]) - 1, COUNT(*), SUM(score)"
    " FROM submissions WHERE type = $1 AND cpu_key = $2 AND counted GROUP BY 1, 2, 3, 4",
    "INSERT INTO row_units (type, cpu_key, unit) SELECT DISTINCT type, cpu_key, unit FROM submissions"
    " WHERE type = $1 AND cpu_key = $2 AND counted AND unit IS NOT NULL AND $3 <> ''"};
const char* const row_unit_count =
    "SELECT COALESCE(COUNT(DISTINCT unit) + SUM(CASE WHEN unit IS NULL THEN 1 ELSE 0 END), 0)"
    " FROM submissions WHERE type = $1 AND cpu_key = $2 AND counted";
const char* const set_totals = "UPDATE standings_totals SET avg_score = $3::bigint, runs = $4::bigint,"
                               " units = $5::bigint WHERE type = $1 AND cpu_key = $2";

const char* const create_incoming =
    "CREATE TEMP TABLE incoming_runs (n bigserial, cpu_name text COLLATE \"C\","
    " type text, score integer, threads integer, submitted_at bigint, cpu_key text COLLATE \"C\")"
    " ON COMMIT DROP";
const char* const copy_incoming =
    "COPY incoming_runs (cpu_name, type, score, threads, submitted_at, cpu_key) FROM STDIN";
const char* const store_incoming =
    "INSERT INTO submissions (cpu_name, type, score, threads, submitted_at, cpu_key)"
    " SELECT cpu_name, type, score, threads, submitted_at, cpu_key FROM incoming_runs ORDER BY n";
// $1: the floors of the score bins.
const char* const bin_incoming =
    "INSERT INTO row_bins (type, cpu_key, threads, bin, runs, score_sum)"
    " SELECT type, cpu_key, threads, width_bucket(score::bigint, $1::bigint[]) - 1, COUNT(*), SUM(score)"
    " FROM incoming_runs GROUP BY 1, 2, 3, 4 ON CONFLICT (type, cpu_key, threads, bin)"
    " DO UPDATE SET runs = row_bins.runs + excluded.runs, score_sum = row_bins.score_sum + "
    "excluded.score_sum";

// The standings' reads, as the SQLite store has them.
const std::string standings = standings_sql(SqlPlaceholders::postgres);
const std::string processor_row = processor_row_sql(SqlPlaceholders::postgres);
const std::string listed_rows = listed_rows_sql(SqlPlaceholders::postgres);
const std::string row_with_bins = row_with_bins_sql(SqlPlaceholders::postgres);
const char* const runs_after = "SELECT id, cpu_name, type, score, threads, submitted_at FROM submissions"
                               " WHERE id > $1 ORDER BY id LIMIT $2";
const char* const run_count = "SELECT COUNT(*) FROM submissions";

// The rate limit: attempts of one address are counted under a lock on that address
// (a hash of it; two addresses sharing a hash only wait for each other). The
// attempts need not survive a crash, so their commit does not wait for the disk.
const char* const attempt_begin = "BEGIN; SET LOCAL synchronous_commit TO off";
const char* const attempt_lock = "SELECT pg_advisory_xact_lock(hashtextextended($1, 0))";
const char* const attempt = "WITH expired AS (DELETE FROM submission_attempts"
                            " WHERE address = $1 AND at <= clock_timestamp() - interval '1 minute')"
                            " INSERT INTO submission_attempts (address, at) SELECT $1, clock_timestamp()"
                            " WHERE (SELECT COUNT(*) FROM submission_attempts"
                            " WHERE address = $1 AND at > clock_timestamp() - interval '1 minute') < $2"
                            " RETURNING 1";
const char* const forget_quiet_addresses =
    "DELETE FROM submission_attempts WHERE at <= clock_timestamp() - interval '1 minute'";

}  // namespace sql

std::int64_t integer_at(const PGresult* result, int row, int column) {
    return std::stoll(PQgetvalue(result, row, column));
}

// A field of COPY's text format: backslash, tab and line ends escaped.
void append_copy_field(std::string& out, const std::string& text) {
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out.push_back(c);
        }
    }
}

// A PostgreSQL array literal of texts: each element quoted, with backslash and quote escaped.
std::string text_array(const std::vector<std::string>& texts) {
    std::string out = "{";
    for (const std::string& t : texts) {
        if (out.size() > 1) out += ',';
        out += '"';
        for (char c : t) {
            if (c == '"' || c == '\\') out += '\\';
            out += c;
        }
        out += '"';
    }
    return out + "}";
}

std::string integer_array(const std::vector<std::int64_t>& values) {
    std::string out = "{";
    for (std::int64_t v : values) {
        if (out.size() > 1) out += ',';
        out += std::to_string(v);
    }
    return out + "}";
}

// The floors of the score bins, as width_bucket takes them.
const std::string& bin_floors_array() {
    static const std::string floors = [] {
        std::vector<std::int64_t> values;
        for (int bin = 0; score_bin_floor(bin) <= max_score; ++bin) values.push_back(score_bin_floor(bin));
        return integer_array(values);
    }();
    return floors;
}

std::string derived_by() {
    return sql::derived_by_prefix + cpu_name_key_version();
}

ThreadBin bin_at(const PGresult* rows, int row, int first_column) {
    return {static_cast<std::int32_t>(integer_at(rows, row, first_column)),
            static_cast<std::int32_t>(integer_at(rows, row, first_column + 1)),
            integer_at(rows, row, first_column + 2), integer_at(rows, row, first_column + 3)};
}

// Opening the store: connecting and creating the schema, together at most this long.
constexpr auto opening_time = std::chrono::seconds(10);

// A COMMIT that was sent is waited for at least this long, past the call's deadline:
// giving up on it leaves unknown whether the run was stored.
constexpr auto commit_patience = std::chrono::seconds(5);

}  // namespace

// A connection taken from the pool for one call; returned on destruction, or closed
// when the call broke it or left a transaction open.
class PostgresStore::Lease {
public:
    Lease(PostgresStore& store, Deadline deadline) : store_(store), connection_(store.acquire(deadline)) {}
    ~Lease() { store_.release(std::move(connection_)); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    PgConnection& operator*() const { return *connection_; }
    PgConnection* operator->() const { return connection_.get(); }

private:
    PostgresStore& store_;
    std::unique_ptr<PgConnection> connection_;
};

PostgresStore::PostgresStore(const std::string& uri, const BoardRules& rules, int connections)
    : uri_(uri), rules_(rules), per_minute_(rules.per_minute > 0 ? rules.per_minute : 1),
      max_connections_(connections > 0 ? static_cast<std::size_t>(connections) : 1) {
    stop_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stop_fd_ < 0) throw StoreError("eventfd failed");
    try {
        const Deadline deadline = std::chrono::steady_clock::now() + opening_time;
        Lease c(*this, deadline);
        try {
            c->command("begin", "BEGIN", {}, deadline);
            c->query("schema lock", sql::schema_lock, {}, deadline);
            c->command("create schema", sql::create_schema, {}, deadline);
            c->command("upgrade schema", sql::upgrade_schema, {}, deadline);
            PgResult keyed_by = c->query("name keys", sql::name_key_version, {}, deadline);
            if (PQntuples(keyed_by.get()) == 0 || derived_by() != PQgetvalue(keyed_by.get(), 0, 0)) {
                // Migrating a large database takes its time once.
                rebuild_derived(*c, no_deadline);
            }
            PgResult writable = c->query("write check", sql::may_write, {}, deadline);
            if (std::string(PQgetvalue(writable.get(), 0, 0)) != "t") {
                throw StoreError(
                    "the database is read-only, or the role may not change the leaderboard's tables");
            }
            c->command("commit", "COMMIT", {}, deadline);
        } catch (const StoreError& e) {
            throw StoreError("cannot use " + redacted_location(uri_) + ": " + e.what());
        }
    } catch (...) {
        idle_.clear();
        close(stop_fd_);
        throw;
    }
}

PostgresStore::~PostgresStore() {
    idle_.clear();
    close(stop_fd_);
}

void PostgresStore::interrupt() {
    interrupted_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(stop_fd_, &one, sizeof one);
    std::lock_guard lock(mutex_);
    returned_.notify_all();
}

std::unique_ptr<PgConnection> PostgresStore::acquire(Deadline deadline) {
    std::unique_lock lock(mutex_);
    auto may_go = [this] { return interrupted_ || !idle_.empty() || open_ < max_connections_; };
    if (deadline == no_deadline) {
        returned_.wait(lock, may_go);
    } else if (!returned_.wait_until(lock, deadline, may_go)) {
        throw StoreUnavailable("no connection to the database became free in time");
    }
    if (interrupted_) throw StoreUnavailable("the server is stopping");
    while (!idle_.empty()) {
        std::unique_ptr<PgConnection> connection = std::move(idle_.back());
        idle_.pop_back();
        // One the database closed while it was idle is replaced instead of failing a call.
        if (connection->reusable()) return connection;
        --open_;
    }
    ++open_;
    lock.unlock();
    try {
        return std::make_unique<PgConnection>(uri_, deadline, stop_fd_);
    } catch (...) {
        lock.lock();
        --open_;
        returned_.notify_one();
        throw;
    }
}

void PostgresStore::release(std::unique_ptr<PgConnection> connection) {
    const bool keep = connection && !connection->broken() && PQstatus(connection->get()) == CONNECTION_OK &&
                      PQtransactionStatus(connection->get()) == PQTRANS_IDLE;
    if (!keep) connection.reset();  // closed outside the lock
    {
        std::lock_guard lock(mutex_);
        if (keep) {
            idle_.push_back(std::move(connection));
        } else {
            --open_;
        }
    }
    returned_.notify_one();
}

void PostgresStore::commit(PgConnection& c, Deadline deadline, const PgConnection::Statement* last) {
    // Until here nothing can have been stored: a transaction whose COMMIT was never sent
    // is rolled back when its connection closes.
    const Deadline patience = std::max(deadline, std::chrono::steady_clock::now() + commit_patience);
    try {
        if (last) {
            // In one round trip: if `last` fails, the COMMIT is not run.
            c.run_together({*last, {"commit", "COMMIT", {}, PGRES_COMMAND_OK}}, patience);
        } else {
            c.command("commit", "COMMIT", {}, patience);
        }
    } catch (const StoreUnavailable& e) {
        if (c.broken()) throw StoreOutcomeUnknown(e.what());
        throw;
    }
}

void PostgresStore::log_refusal(PgConnection& c, const Submission& s, const std::string& unit,
                                const std::string& now, const std::string& why, Deadline deadline) {
    c.run_together({{"log a refusal",
                     sql::log_refusal,
                     {s.cpu_name, s.type, std::to_string(s.score), std::to_string(s.threads), unit, now, why},
                     PGRES_COMMAND_OK},
                    {"trim the refusals", sql::trim_refusals, {}, PGRES_COMMAND_OK}},
                   deadline);
}

SubmitOutcome PostgresStore::submit(const Submission& submission, const std::string& unit,
                                    Deadline deadline) {
    Submission s = submission;
    CpuNameForms forms = cpu_name_forms(submission.cpu_name);
    s.cpu_name = std::move(forms.shown);
    const std::string key = std::move(forms.key);
    const std::int64_t seconds = static_cast<std::int64_t>(std::time(nullptr));
    const std::string now = std::to_string(seconds);
    const std::string day = std::to_string(day_of(seconds));
    const bool limited = !unit.empty() && !rules_.private_board;
    Lease c(*this, deadline);
    if (std::optional<std::string> why = implausible(s, rules_)) {
        c->command("begin", "BEGIN", {}, deadline);
        log_refusal(*c, s, unit, now, *why, deadline);
        commit(*c, deadline);
        return {SubmitOutcome::Kind::refused, *why};
    }
    // BEGIN, the row's lock and the limits in one round trip.
    PgResult limits = c->run_together({{"begin", "BEGIN", {}, PGRES_COMMAND_OK},
                                       {"row lock", sql::row_lock, {s.type + "\n" + key}, PGRES_TUPLES_OK},
                                       {"limits", sql::limits_now, {key, unit, day}, PGRES_TUPLES_OK}},
                                      deadline);
    const bool known = std::string(PQgetvalue(limits.get(), 0, 0)) == "t";
    SubmitOutcome outcome;
    bool counted = true;
    if (limited) {
        if (!known && integer_at(limits.get(), 0, 1) >= rules_.new_names_per_day) {
            log_refusal(*c, s, unit, now, too_many_new_names(rules_), deadline);
            commit(*c, deadline);
            return {SubmitOutcome::Kind::refused, too_many_new_names(rules_)};
        }
        PgResult runs =
            known ? c->query("count runs", sql::count_daily_run, {unit, day, s.type, key}, deadline)
                  : c->run_together(
                        {{"count a new name", sql::count_new_name, {unit, day}, PGRES_COMMAND_OK},
                         {"count runs", sql::count_daily_run, {unit, day, s.type, key}, PGRES_TUPLES_OK}},
                        deadline);
        counted = integer_at(runs.get(), 0, 0) <= rules_.runs_per_address;
        if (!counted) outcome = {SubmitOutcome::Kind::not_counted, over_daily_runs(rules_)};
    }
    PgResult bins =
        c->run_together({{"insert",
                          sql::add_run,
                          {s.cpu_name, s.type, std::to_string(s.score), std::to_string(s.threads), now, key,
                           unit, counted ? "true" : "false", outcome.why, std::to_string(score_bin(s.score))},
                          PGRES_COMMAND_OK},
                         {"read bins", sql::row_bins, {s.type, key}, PGRES_TUPLES_OK}},
                        deadline);
    if (counted) {
        std::vector<ThreadBin> row;
        for (int i = 0; i < PQntuples(bins.get()); ++i) row.push_back(bin_at(bins.get(), i, 0));
        const RowDistribution d = read_distribution(std::move(row), rules_.outliers);
        const ThreadBin mine{s.threads, score_bin(s.score), 1, s.score};
        if (is_outlier(mine, d.runs + d.outliers, d.median_per_thread, rules_.outliers))
            outcome = {SubmitOutcome::Kind::not_counted, outlying(rules_)};
        const PgConnection::Statement totals{
            "update totals",
            sql::add_totals,
            {s.type, key, s.cpu_name, std::to_string(d.avg_score), std::to_string(d.runs), unit},
            PGRES_COMMAND_OK};
        commit(*c, deadline, &totals);
    } else {
        commit(*c, deadline);
    }
    // Counters of days gone by are dropped by this process's first submission of each day.
    if (counters_swept_day_.exchange(day_of(seconds)) != day_of(seconds)) {
        try {
            const std::string yesterday = std::to_string(day_of(seconds) - 1);
            c->command("forget old days", sql::forget_old_runs, {yesterday}, deadline);
            c->command("forget old days", sql::forget_old_names, {yesterday}, deadline);
        } catch (const StoreError&) {
        }
    }
    outcome.cpu_key = key;
    return outcome;
}

std::vector<RowDistribution> PostgresStore::read_rows(PgConnection& c, std::string_view type,
                                                      const std::vector<std::string>& keys,
                                                      Deadline deadline) {
    PgResult rows = c.query("read bins", sql::rows_bins, {std::string(type), text_array(keys)}, deadline);
    std::map<std::string, std::vector<ThreadBin>> bins;
    for (int i = 0; i < PQntuples(rows.get()); ++i)
        bins[PQgetvalue(rows.get(), i, 0)].push_back(bin_at(rows.get(), i, 1));
    std::vector<RowDistribution> out;
    out.reserve(keys.size());
    for (const std::string& key : keys) {
        auto at = bins.find(key);
        out.push_back(at == bins.end() ? RowDistribution{} : read_distribution(at->second, rules_.outliers));
    }
    return out;
}

void PostgresStore::update_totals(PgConnection& c, const std::string& type,
                                  const std::vector<std::string>& keys,
                                  const std::vector<std::string>& first_names,
                                  const std::vector<std::int64_t>& new_units, Deadline deadline,
                                  std::vector<RowDistribution>* read) {
    std::vector<RowDistribution> rows = read_rows(c, type, keys, deadline);
    std::vector<std::int64_t> averages;
    std::vector<std::int64_t> counts;
    for (const RowDistribution& d : rows) {
        averages.push_back(d.avg_score);
        counts.push_back(d.runs);
    }
    c.command("update totals", sql::upsert_totals,
              {type, text_array(keys), text_array(first_names), integer_array(averages),
               integer_array(counts), integer_array(new_units)},
              deadline);
    if (read) *read = std::move(rows);
}

void PostgresStore::add_many(const std::vector<StoredRun>& runs) {
    Lease lease(*this, store_call_deadline());
    PGconn* c = lease->get();
    // A bulk load has no deadline; COPY is simplest on a blocking connection.
    PQsetnonblocking(c, 0);
    auto fail = [&](const char* what) -> StoreError {
        return StoreError(std::string(what) + ": " + lease->message());
    };
    auto exec = [&](const char* what, const char* statement, ExecStatusType expected) {
        PgResult result(PQexec(c, statement), &PQclear);
        if (PQresultStatus(result.get()) != expected) throw fail(what);
    };
    exec("begin", "BEGIN", PGRES_COMMAND_OK);
    try {
        // The session's time-out guards requests; a bulk load on a busy machine may need longer.
        exec("no time-out", "SET LOCAL statement_timeout TO 0", PGRES_COMMAND_OK);
        exec("create staging table", sql::create_incoming, PGRES_COMMAND_OK);
        exec("copy", sql::copy_incoming, PGRES_COPY_IN);
        std::string chunk;
        auto flush = [&] {
            if (PQputCopyData(c, chunk.data(), static_cast<int>(chunk.size())) != 1) throw fail("copy");
            chunk.clear();
        };
        // Per run type: the rows touched, with the first spelling and the runs (each its own unit).
        std::map<std::string, std::map<std::string, std::pair<std::string, std::int64_t>>> touched;
        for (const StoredRun& r : runs) {
            const std::string name = canonical_cpu_name(r.submission.cpu_name);
            const std::string key = cpu_name_key(name);
            append_copy_field(chunk, name);
            chunk += '\t' + r.submission.type + '\t' + std::to_string(r.submission.score) + '\t' +
                     std::to_string(r.submission.threads) + '\t' + std::to_string(r.submitted_at) + '\t';
            append_copy_field(chunk, key);
            chunk += '\n';
            auto [at, added] = touched[r.submission.type].try_emplace(key, name, 0);
            ++at->second.second;
            if (chunk.size() > 256 * 1024) flush();
        }
        if (!chunk.empty()) flush();
        if (PQputCopyEnd(c, nullptr) != 1) throw fail("copy");
        PgResult copied(PQgetResult(c), &PQclear);
        if (PQresultStatus(copied.get()) != PGRES_COMMAND_OK) throw fail("copy");
        while (PGresult* rest = PQgetResult(c)) PQclear(rest);
        exec("store runs", sql::store_incoming, PGRES_COMMAND_OK);
        PQsetnonblocking(c, 1);
        lease->command("bin runs", sql::bin_incoming, {bin_floors_array()}, no_deadline);
        for (const auto& [type, rows] : touched) {
            std::vector<std::string> keys;
            std::vector<std::string> names;
            std::vector<std::int64_t> units;
            for (const auto& [key, first] : rows) {
                keys.push_back(key);
                names.push_back(first.first);
                units.push_back(first.second);
            }
            update_totals(*lease, type, keys, names, units, no_deadline);
        }
        lease->query("tell the servers", sql::notice_all_rows.c_str(), {}, no_deadline);
        lease->command("commit", "COMMIT", {}, no_deadline);
    } catch (...) {
        PQsetnonblocking(c, 0);
        PQclear(PQexec(c, "ROLLBACK"));
        PQsetnonblocking(c, 1);
        throw;
    }
}

void PostgresStore::rebuild_derived(PgConnection& c, Deadline deadline) {
    // The key of every spelling, on every run.
    std::vector<std::string> names;
    std::vector<std::string> keys;
    {
        PgResult rows = c.query("read names", sql::spellings, {}, deadline);
        for (int i = 0; i < PQntuples(rows.get()); ++i) {
            names.push_back(PQgetvalue(rows.get(), i, 0));
            keys.push_back(cpu_name_key(canonical_cpu_name(names.back())));
        }
    }
    c.command("spelling keys", sql::create_spelling_keys, {}, deadline);
    c.command("spelling keys", sql::insert_spelling_keys, {text_array(names), text_array(keys)}, deadline);
    c.command("key every run", sql::key_every_run, {}, deadline);
    c.command("make derived tables", sql::create_derived, {}, deadline);
    c.command("fill bins", sql::fill_bins, {bin_floors_array()}, deadline);
    c.command("fill units", sql::fill_units, {}, deadline);

    std::map<std::pair<std::string, std::string>, std::vector<ThreadBin>> bins;
    {
        PgResult rows = c.query("read bins", sql::all_bins, {}, deadline);
        for (int i = 0; i < PQntuples(rows.get()); ++i)
            bins[{PQgetvalue(rows.get(), i, 0), PQgetvalue(rows.get(), i, 1)}].push_back(
                bin_at(rows.get(), i, 2));
    }
    // Per run type, the totals in one statement.
    std::map<std::string,
             std::tuple<std::vector<std::string>, std::vector<std::string>, std::vector<std::int64_t>,
                        std::vector<std::int64_t>, std::vector<std::int64_t>>>
        totals;
    PgResult heads = c.query("read rows", sql::row_heads, {}, deadline);
    for (int i = 0; i < PQntuples(heads.get()); ++i) {
        const std::pair<std::string, std::string> row{PQgetvalue(heads.get(), i, 0),
                                                      PQgetvalue(heads.get(), i, 1)};
        const RowDistribution d = read_distribution(bins[row], rules_.outliers);
        auto& [row_keys, row_names, averages, counts, units] = totals[row.first];
        row_keys.push_back(row.second);
        row_names.push_back(canonical_cpu_name(PQgetvalue(heads.get(), i, 2)));
        averages.push_back(d.avg_score);
        counts.push_back(d.runs);
        units.push_back(integer_at(heads.get(), i, 3));
    }
    for (const auto& [type, row] : totals) {
        const auto& [row_keys, row_names, averages, counts, units] = row;
        c.command("store totals", sql::upsert_totals,
                  {type, text_array(row_keys), text_array(row_names), integer_array(averages),
                   integer_array(counts), integer_array(units)},
                  deadline);
    }
    c.command("mark the name keys", sql::set_name_key_version, {derived_by()}, deadline);
}

void PostgresStore::for_each_batch(std::size_t batch_size,
                                   const std::function<void(const std::vector<StoredRun>&)>& visit) {
    std::int64_t last_id = 0;
    for (;;) {
        std::vector<StoredRun> batch;
        {
            Lease c(*this, store_call_deadline());
            PgResult rows = c->query("read runs", sql::runs_after,
                                     {std::to_string(last_id), std::to_string(batch_size)}, no_deadline);
            for (int i = 0; i < PQntuples(rows.get()); ++i) {
                last_id = integer_at(rows.get(), i, 0);
                StoredRun r;
                r.submission.cpu_name = PQgetvalue(rows.get(), i, 1);
                r.submission.type = PQgetvalue(rows.get(), i, 2);
                r.submission.score = static_cast<std::int32_t>(integer_at(rows.get(), i, 3));
                r.submission.threads = static_cast<std::int32_t>(integer_at(rows.get(), i, 4));
                r.submitted_at = integer_at(rows.get(), i, 5);
                batch.push_back(std::move(r));
            }
        }
        if (batch.empty()) return;
        visit(batch);
    }
}

std::int64_t PostgresStore::run_count() {
    Lease c(*this, store_call_deadline());
    PgResult rows = c->query("count runs", sql::run_count, {}, no_deadline);
    return integer_at(rows.get(), 0, 0);
}

std::vector<StandingsRow> PostgresStore::standings(std::string_view type, Deadline deadline) {
    Lease c(*this, deadline);
    const std::string min_units = std::to_string(rules_.private_board ? 1 : rules_.min_addresses);
    PgResult rows = c->query("standings", sql::standings.c_str(),
                             {std::string(type), min_units, std::to_string(max_standings_rows)}, deadline);
    std::vector<StandingsRow> out;
    for (int i = 0; i < PQntuples(rows.get()); ++i) {
        out.push_back({PQgetvalue(rows.get(), i, 0), integer_at(rows.get(), i, 1),
                       integer_at(rows.get(), i, 2), PQgetvalue(rows.get(), i, 3)});
    }
    return out;
}

std::optional<StandingsRow> PostgresStore::processor_row(std::string_view type, std::string_view cpu_key,
                                                         Deadline deadline) {
    Lease c(*this, deadline);
    const std::string min_units = std::to_string(rules_.private_board ? 1 : rules_.min_addresses);
    PgResult rows = c->query("processor row", sql::processor_row.c_str(),
                             {std::string(type), min_units, std::string(cpu_key)}, deadline);
    if (PQntuples(rows.get()) == 0) return std::nullopt;
    return StandingsRow{PQgetvalue(rows.get(), 0, 0), integer_at(rows.get(), 0, 1),
                        integer_at(rows.get(), 0, 2), PQgetvalue(rows.get(), 0, 3)};
}

std::vector<StandingsRow> PostgresStore::listed_rows(std::string_view type, Deadline deadline) {
    Lease c(*this, deadline);
    const std::string min_units = std::to_string(rules_.private_board ? 1 : rules_.min_addresses);
    PgResult rows =
        c->query("listed rows", sql::listed_rows.c_str(), {std::string(type), min_units}, deadline);
    std::vector<StandingsRow> out;
    for (int i = 0; i < PQntuples(rows.get()); ++i) {
        out.push_back({PQgetvalue(rows.get(), i, 0), integer_at(rows.get(), i, 1),
                       integer_at(rows.get(), i, 2), PQgetvalue(rows.get(), i, 3)});
    }
    return out;
}

std::optional<Store::RowWithDistribution>
PostgresStore::listed_row_with_distribution(std::string_view type, std::string_view cpu_key,
                                            Deadline deadline) {
    Lease c(*this, deadline);
    const std::string min_units = std::to_string(rules_.private_board ? 1 : rules_.min_addresses);
    PgResult rows = c->query("row with bins", sql::row_with_bins.c_str(),
                             {std::string(type), min_units, std::string(cpu_key)}, deadline);
    const int lines = PQntuples(rows.get());
    if (lines == 0) return std::nullopt;
    StandingsRow row{PQgetvalue(rows.get(), 0, 0), integer_at(rows.get(), 0, 1), integer_at(rows.get(), 0, 2),
                     PQgetvalue(rows.get(), 0, 3)};
    std::vector<ThreadBin> bins;
    for (int i = 0; i < lines; ++i)
        if (!PQgetisnull(rows.get(), i, 4)) bins.push_back(bin_at(rows.get(), i, 4));
    return RowWithDistribution{std::move(row), read_distribution(std::move(bins), rules_.outliers)};
}

std::optional<RowDistribution> PostgresStore::distribution(std::string_view type, std::string_view cpu_key,
                                                           Deadline deadline) {
    Lease c(*this, deadline);
    RowDistribution d = read_rows(*c, type, {std::string(cpu_key)}, deadline).front();
    if (d.bins.empty()) return std::nullopt;
    return d;
}

std::vector<RowDistribution> PostgresStore::distributions(std::string_view type,
                                                          const std::vector<std::string>& cpu_keys,
                                                          Deadline deadline) {
    Lease c(*this, deadline);
    return read_rows(*c, type, cpu_keys, deadline);
}

std::vector<FlaggedRun> PostgresStore::flagged(std::size_t limit) {
    Lease c(*this, store_call_deadline());
    std::vector<FlaggedRun> out;
    const std::string why = outlying(rules_);
    PgResult rows = c->query("rows", sql::rows_with_bins, {}, no_deadline);
    for (int i = 0; i < PQntuples(rows.get()); ++i) {
        const std::string type = PQgetvalue(rows.get(), i, 0);
        const std::string key = PQgetvalue(rows.get(), i, 1);
        const RowDistribution d = read_rows(*c, type, {key}, no_deadline).front();
        if (d.outliers == 0) continue;
        for (const ThreadBin& bin : d.bins) {
            if (!is_outlier(bin, d.runs + d.outliers, d.median_per_thread, rules_.outliers)) continue;
            PgResult runs =
                c->query("outlying runs", sql::runs_in_bin,
                         {type, key, std::to_string(bin.threads), std::to_string(score_bin_floor(bin.bin)),
                          std::to_string(score_bin_floor(bin.bin + 1)), std::to_string(limit)},
                         no_deadline);
            for (int r = 0; r < PQntuples(runs.get()) && out.size() < limit; ++r) {
                out.push_back({PQgetvalue(runs.get(), r, 0), type, integer_at(runs.get(), r, 1), bin.threads,
                               integer_at(runs.get(), r, 2), why});
            }
        }
    }
    PgResult refused = c->query("refusals", sql::refusals, {std::to_string(limit)}, no_deadline);
    for (int r = 0; r < PQntuples(refused.get()); ++r) {
        out.push_back({PQgetvalue(refused.get(), r, 0), PQgetvalue(refused.get(), r, 1),
                       integer_at(refused.get(), r, 2), integer_at(refused.get(), r, 3),
                       integer_at(refused.get(), r, 4),
                       std::string("refused: ") + PQgetvalue(refused.get(), r, 5)});
    }
    return out;
}

bool PostgresStore::set_hidden(const std::string& cpu_name, bool hidden) {
    const std::string canonical = canonical_cpu_name(cpu_name);
    const std::string key = cpu_name_key(canonical);
    Lease c(*this, store_call_deadline());
    PgResult known = c->query("known name", sql::known_name, {key}, no_deadline);
    if (PQntuples(known.get()) == 0) return false;
    if (hidden) {
        c->command("hide", sql::hide, {key, canonical}, no_deadline);
    } else {
        c->command("unhide", sql::unhide, {key}, no_deadline);
    }
    c->query("tell the servers", sql::notice_all_rows.c_str(), {}, no_deadline);
    return true;
}

std::int64_t PostgresStore::forget_unit(const std::string& unit) {
    Lease c(*this, store_call_deadline());
    c->command("begin", "BEGIN", {}, no_deadline);
    PgResult rows = c->query("rows of the unit", sql::rows_of_unit, {unit}, no_deadline);
    PgResult forgotten = c->command("forget the unit", sql::forget_unit, {unit}, no_deadline);
    for (int i = 0; i < PQntuples(rows.get()); ++i) {
        const std::string type = PQgetvalue(rows.get(), i, 0);
        const std::string key = PQgetvalue(rows.get(), i, 1);
        c->query("row lock", sql::row_lock, {type + "\n" + key}, no_deadline);
        for (const char* statement : sql::rebuild_row)
            c->command("rebuild the row", statement, {type, key, bin_floors_array()}, no_deadline);
        PgResult units = c->query("count units", sql::row_unit_count, {type, key}, no_deadline);
        const RowDistribution d = read_rows(*c, type, {key}, no_deadline).front();
        c->command(
            "set totals", sql::set_totals,
            {type, key, std::to_string(d.avg_score), std::to_string(d.runs), PQgetvalue(units.get(), 0, 0)},
            no_deadline);
    }
    c->query("tell the servers", sql::notice_all_rows.c_str(), {}, no_deadline);
    c->command("commit", "COMMIT", {}, no_deadline);
    return std::stoll(PQcmdTuples(forgotten.get()));
}

bool PostgresStore::allow_submission(const std::string& address, Deadline deadline) {
    bool sweep = false;
    {
        std::lock_guard lock(mutex_);
        auto now = std::chrono::steady_clock::now();
        if (now - last_sweep_ >= std::chrono::minutes(1)) {
            last_sweep_ = now;
            sweep = true;
        }
    }
    Lease c(*this, deadline);
    // Addresses that went quiet are dropped now and then, so the table cannot grow
    // with every client ever seen.
    if (sweep) c->command("forget quiet addresses", sql::forget_quiet_addresses, {}, deadline);
    c->command("begin", sql::attempt_begin, {}, deadline);
    c->query("rate limit lock", sql::attempt_lock, {address}, deadline);
    PgResult counted = c->query("rate limit", sql::attempt, {address, std::to_string(per_minute_)}, deadline);
    c->command("commit", "COMMIT", {}, deadline);
    return PQntuples(counted.get()) == 1;
}

}  // namespace vornmark::server
