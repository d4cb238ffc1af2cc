#include "server/postgres_store.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <ctime>
#include <memory>

#include "server/cpu_name.h"
#include "server/pg_connection.h"
#include "server/standings_totals.h"

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

// Per run type and look-alike key: the name shown (the first spelling seen), sum and
// count of the scores, and their truncated mean beside them so that the ranking is read
// in index order, 100 rows at most. Made anew (from the runs) when the name keys change.
const char* const create_totals =
    "DROP TABLE IF EXISTS standings_totals;"
    "CREATE TABLE standings_totals ("
    " type text NOT NULL,"
    " cpu_key text COLLATE \"C\" NOT NULL,"
    " cpu_name text COLLATE \"C\" NOT NULL,"
    " score_sum bigint NOT NULL,"
    " runs bigint NOT NULL,"
    " avg_score bigint NOT NULL,"
    " PRIMARY KEY (type, cpu_key));"
    "CREATE INDEX standings_totals_ranked ON standings_totals (type, avg_score DESC, cpu_name);";
const char* const name_key_version = "SELECT value FROM leaderboard_meta WHERE name = 'name_keys'";
const char* const set_name_key_version = "INSERT INTO leaderboard_meta (name, value) VALUES ('name_keys', $1)"
                                         " ON CONFLICT (name) DO UPDATE SET value = excluded.value";
const char* const totals_by_name = "SELECT type, cpu_name, SUM(score), COUNT(*), MIN(id) FROM submissions"
                                   " GROUP BY type, cpu_name";
const char* const insert_totals =
    "INSERT INTO standings_totals (type, cpu_key, cpu_name, score_sum, runs, avg_score)"
    " VALUES ($1, $2, $3, $4::bigint, $5::bigint, $4::bigint / $5::bigint)";

// Privileges and a writable database, checked at start: a role that may read but not
// write would otherwise start and then fail every submission.
const char* const may_write =
    "SELECT NOT current_setting('transaction_read_only')::bool"
    " AND has_table_privilege('submissions', 'INSERT')"
    " AND has_sequence_privilege(pg_get_serial_sequence('submissions', 'id'), 'USAGE')"
    " AND has_table_privilege('standings_totals', 'INSERT, UPDATE')"
    " AND has_table_privilege('submission_attempts', 'INSERT, DELETE')";

// The run and its processor's totals together, inside BEGIN ... COMMIT. The name of an
// existing row stays.
const char* const add_run =
    "WITH run AS (INSERT INTO submissions (cpu_name, type, score, threads, submitted_at)"
    " VALUES ($1, $2, $3, $4, $5))"
    " INSERT INTO standings_totals (type, cpu_key, cpu_name, score_sum, runs, avg_score)"
    " VALUES ($2, $6, $1, $3, 1, $3)"
    " ON CONFLICT (type, cpu_key) DO UPDATE SET score_sum = standings_totals.score_sum + excluded.score_sum,"
    " runs = standings_totals.runs + 1,"
    " avg_score = (standings_totals.score_sum + excluded.score_sum) / (standings_totals.runs + 1)";

const char* const create_incoming =
    "CREATE TEMP TABLE incoming_runs (n bigserial, cpu_name text COLLATE \"C\","
    " type text, score integer, threads integer, submitted_at bigint)"
    " ON COMMIT DROP";
const char* const copy_incoming =
    "COPY incoming_runs (cpu_name, type, score, threads, submitted_at) FROM STDIN";
const char* const store_incoming =
    "INSERT INTO submissions (cpu_name, type, score, threads, submitted_at)"
    " SELECT cpu_name, type, score, threads, submitted_at FROM incoming_runs ORDER BY n";

const char* const standings = "SELECT cpu_name, avg_score, runs FROM standings_totals WHERE type = $1"
                              " ORDER BY avg_score DESC, cpu_name ASC LIMIT $2";
const char* const processor_row =
    "SELECT cpu_name, avg_score, runs FROM standings_totals WHERE type = $1 AND cpu_key = $2";
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

PostgresStore::PostgresStore(const std::string& uri, int per_minute, int connections)
    : uri_(uri), per_minute_(per_minute > 0 ? per_minute : 1),
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
            PgResult keyed_by = c->query("name keys", sql::name_key_version, {}, deadline);
            if (PQntuples(keyed_by.get()) == 0 ||
                cpu_name_key_version() != PQgetvalue(keyed_by.get(), 0, 0)) {
                rebuild_totals(*c, deadline);
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

void PostgresStore::add(const Submission& s, Deadline deadline) {
    const std::string name = canonical_cpu_name(s.cpu_name);
    const std::string score = std::to_string(s.score);
    const std::string threads = std::to_string(s.threads);
    const std::string now = std::to_string(static_cast<std::int64_t>(std::time(nullptr)));
    const std::string key = cpu_name_key(name);
    Lease c(*this, deadline);
    // BEGIN and the insert in one round trip; the COMMIT only once both are known to have worked.
    c->run_together({{"begin", "BEGIN", {}, PGRES_COMMAND_OK},
                     {"insert", sql::add_run, {name, s.type, score, threads, now, key}, PGRES_COMMAND_OK}},
                    deadline);
    // Until here nothing can have been stored: a transaction whose COMMIT was never sent
    // is rolled back when its connection closes.
    try {
        c->command("commit", "COMMIT", {},
                   std::max(deadline, std::chrono::steady_clock::now() + commit_patience));
    } catch (const StoreUnavailable& e) {
        if (c->broken()) throw StoreOutcomeUnknown(e.what());
        throw;
    }
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
        exec("create staging table", sql::create_incoming, PGRES_COMMAND_OK);
        exec("copy", sql::copy_incoming, PGRES_COPY_IN);
        std::string chunk;
        auto flush = [&] {
            if (PQputCopyData(c, chunk.data(), static_cast<int>(chunk.size())) != 1) throw fail("copy");
            chunk.clear();
        };
        for (const StoredRun& r : runs) {
            append_copy_field(chunk, canonical_cpu_name(r.submission.cpu_name));
            chunk += '\t' + r.submission.type + '\t' + std::to_string(r.submission.score) + '\t' +
                     std::to_string(r.submission.threads) + '\t' + std::to_string(r.submitted_at) + '\n';
            if (chunk.size() > 256 * 1024) flush();
        }
        if (!chunk.empty()) flush();
        if (PQputCopyEnd(c, nullptr) != 1) throw fail("copy");
        PgResult copied(PQgetResult(c), &PQclear);
        if (PQresultStatus(copied.get()) != PGRES_COMMAND_OK) throw fail("copy");
        while (PGresult* rest = PQgetResult(c)) PQclear(rest);
        exec("store runs", sql::store_incoming, PGRES_COMMAND_OK);
        PQsetnonblocking(c, 1);
        rebuild_totals(*lease, no_deadline);
        lease->command("commit", "COMMIT", {}, no_deadline);
    } catch (...) {
        PQsetnonblocking(c, 0);
        PQclear(PQexec(c, "ROLLBACK"));
        PQsetnonblocking(c, 1);
        throw;
    }
}

void PostgresStore::rebuild_totals(PgConnection& c, Deadline deadline) {
    std::vector<NameTotals> names;
    PgResult rows = c.query("read totals", sql::totals_by_name, {}, deadline);
    for (int i = 0; i < PQntuples(rows.get()); ++i) {
        names.push_back({PQgetvalue(rows.get(), i, 0), PQgetvalue(rows.get(), i, 1),
                         integer_at(rows.get(), i, 2), integer_at(rows.get(), i, 3),
                         integer_at(rows.get(), i, 4)});
    }
    c.command("make totals", sql::create_totals, {}, deadline);
    for (const KeyedTotals& row : merge_look_alikes(std::move(names))) {
        c.command(
            "store totals", sql::insert_totals,
            {row.type, row.cpu_key, row.cpu_name, std::to_string(row.score_sum), std::to_string(row.runs)},
            deadline);
    }
    c.command("mark the name keys", sql::set_name_key_version, {cpu_name_key_version()}, deadline);
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
    PgResult rows = c->query("standings", sql::standings,
                             {std::string(type), std::to_string(max_standings_rows)}, deadline);
    std::vector<StandingsRow> out;
    for (int i = 0; i < PQntuples(rows.get()); ++i) {
        out.push_back(
            {PQgetvalue(rows.get(), i, 0), integer_at(rows.get(), i, 1), integer_at(rows.get(), i, 2)});
    }
    return out;
}

std::optional<StandingsRow> PostgresStore::processor_row(std::string_view type, std::string_view cpu_key,
                                                         Deadline deadline) {
    Lease c(*this, deadline);
    PgResult rows =
        c->query("processor row", sql::processor_row, {std::string(type), std::string(cpu_key)}, deadline);
    if (PQntuples(rows.get()) == 0) return std::nullopt;
    return StandingsRow{PQgetvalue(rows.get(), 0, 0), integer_at(rows.get(), 0, 1),
                        integer_at(rows.get(), 0, 2)};
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
