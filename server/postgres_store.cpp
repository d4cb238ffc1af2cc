#include "server/postgres_store.h"

#include <ctime>
#include <memory>

#include <libpq-fe.h>
#include <poll.h>

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
    // Per processor and run type: sum and count of the scores, and their truncated mean
    // beside them so that the ranking is read in index order, 100 rows at most.
    "CREATE TABLE IF NOT EXISTS standings_totals ("
    " type text NOT NULL,"
    " cpu_name text COLLATE \"C\" NOT NULL,"
    " score_sum bigint NOT NULL,"
    " runs bigint NOT NULL,"
    " avg_score bigint NOT NULL,"
    " PRIMARY KEY (type, cpu_name));"
    "CREATE INDEX IF NOT EXISTS standings_totals_ranked ON standings_totals (type, avg_score DESC, cpu_name);"
    // Submission attempts of the last minute per address, for the rate limit. Unlogged:
    // after a crash of the database they start empty, which only forgives a minute.
    "CREATE UNLOGGED TABLE IF NOT EXISTS submission_attempts (address text NOT NULL, at timestamptz NOT "
    "NULL);"
    "CREATE INDEX IF NOT EXISTS submission_attempts_by_address ON submission_attempts (address, at);";

// One statement, so one transaction: the run and its processor's totals together.
const char* const add_run =
    "WITH run AS (INSERT INTO submissions (cpu_name, type, score, threads, submitted_at)"
    " VALUES ($1, $2, $3, $4, $5))"
    " INSERT INTO standings_totals (type, cpu_name, score_sum, runs, avg_score) VALUES ($2, $1, $3, 1, $3)"
    " ON CONFLICT (type, cpu_name) DO UPDATE SET score_sum = standings_totals.score_sum + excluded.score_sum,"
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
    " SELECT cpu_name, type, score, threads, submitted_at FROM incoming_runs ORDER BY n;"
    "INSERT INTO standings_totals (type, cpu_name, score_sum, runs, avg_score)"
    " SELECT type, cpu_name, SUM(score), COUNT(*), SUM(score) / COUNT(*) FROM incoming_runs"
    " GROUP BY type, cpu_name"
    " ON CONFLICT (type, cpu_name) DO UPDATE SET score_sum = standings_totals.score_sum + excluded.score_sum,"
    " runs = standings_totals.runs + excluded.runs,"
    " avg_score = (standings_totals.score_sum + excluded.score_sum) / (standings_totals.runs + "
    "excluded.runs)";

const char* const standings = "SELECT cpu_name, avg_score, runs FROM standings_totals WHERE type = $1"
                              " ORDER BY avg_score DESC, cpu_name ASC LIMIT $2";
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

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

std::string message_of(PGconn* connection) {
    std::string text = PQerrorMessage(connection);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// Runs a statement with text parameters and checks its outcome.
Result run(PGconn* connection, const char* what, const char* statement,
           std::initializer_list<std::string> params, ExecStatusType expected) {
    std::vector<const char*> values;
    for (const std::string& p : params) values.push_back(p.c_str());
    Result result(params.size() == 0 ? PQexec(connection, statement)
                                     : PQexecParams(connection, statement, static_cast<int>(values.size()),
                                                    nullptr, values.data(), nullptr, nullptr, 0),
                  &PQclear);
    if (!result || PQresultStatus(result.get()) != expected) {
        throw StoreError(std::string(what) + ": " + message_of(connection));
    }
    return result;
}

Result command(PGconn* connection, const char* what, const char* statement,
               std::initializer_list<std::string> params = {}) {
    return run(connection, what, statement, params, PGRES_COMMAND_OK);
}

Result query(PGconn* connection, const char* what, const char* statement,
             std::initializer_list<std::string> params = {}) {
    return run(connection, what, statement, params, PGRES_TUPLES_OK);
}

std::int64_t integer_at(const PGresult* result, int row, int column) {
    return std::stoll(PQgetvalue(result, row, column));
}

// An idle connection is sent nothing unasked (this store listens for no notifications),
// so anything to read on it is the database ending it: a restart, an idle time-out.
bool usable_when_idle(PGconn* connection) {
    if (PQstatus(connection) != CONNECTION_OK) return false;
    pollfd p{PQsocket(connection), POLLIN, 0};
    return poll(&p, 1, 0) == 0;
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

}  // namespace

// A connection taken from the pool for one call; returned on destruction, or closed
// when the call left it in a failed state or inside a transaction.
class PostgresStore::Lease {
public:
    explicit Lease(PostgresStore& store) : store_(store), connection_(store.acquire()) {}
    ~Lease() {
        if (PQstatus(connection_) != CONNECTION_OK || PQtransactionStatus(connection_) != PQTRANS_IDLE) {
            PQfinish(connection_);
            connection_ = nullptr;
        }
        store_.release(connection_);
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    PGconn* get() const { return connection_; }

private:
    PostgresStore& store_;
    PGconn* connection_;
};

PostgresStore::PostgresStore(const std::string& uri, int per_minute, int connections)
    : uri_(uri), per_minute_(per_minute > 0 ? per_minute : 1),
      max_connections_(connections > 0 ? static_cast<std::size_t>(connections) : 1) {
    Lease lease(*this);
    PGconn* c = lease.get();
    command(c, "begin", "BEGIN");
    try {
        query(c, "schema lock", sql::schema_lock);
        command(c, "create schema", sql::create_schema);
        command(c, "commit", "COMMIT");
    } catch (...) {
        PQclear(PQexec(c, "ROLLBACK"));
        throw;
    }
}

PostgresStore::~PostgresStore() {
    for (PGconn* c : idle_) PQfinish(c);
}

PGconn* PostgresStore::connect() {
    PGconn* connection = PQconnectdb(uri_.c_str());
    if (PQstatus(connection) != CONNECTION_OK) {
        std::string message = connection ? message_of(connection) : "out of memory";
        PQfinish(connection);
        throw StoreError("cannot connect to " + redacted_location(uri_) + ": " + message);
    }
    // Server messages in English whatever the database's locale; quiet notices.
    PQclear(PQexec(connection, "SET client_min_messages TO warning"));
    return connection;
}

PGconn* PostgresStore::acquire() {
    std::unique_lock lock(mutex_);
    returned_.wait(lock, [this] { return !idle_.empty() || open_ < max_connections_; });
    while (!idle_.empty()) {
        PGconn* connection = idle_.back();
        idle_.pop_back();
        // One the database closed while it was idle is replaced instead of failing a call.
        if (usable_when_idle(connection)) return connection;
        PQfinish(connection);
        --open_;
    }
    ++open_;
    lock.unlock();
    try {
        return connect();
    } catch (...) {
        lock.lock();
        --open_;
        returned_.notify_one();
        throw;
    }
}

void PostgresStore::release(PGconn* connection) {
    {
        std::lock_guard lock(mutex_);
        if (connection) {
            idle_.push_back(connection);
        } else {
            --open_;
        }
    }
    returned_.notify_one();
}

void PostgresStore::add(const Submission& s) {
    Lease lease(*this);
    // Without an explicit transaction the statement commits on its own; its result
    // arrives only after the commit.
    command(lease.get(), "insert", sql::add_run,
            {s.cpu_name, s.type, std::to_string(s.score), std::to_string(s.threads),
             std::to_string(static_cast<std::int64_t>(std::time(nullptr)))});
}

void PostgresStore::add_many(const std::vector<StoredRun>& runs) {
    Lease lease(*this);
    PGconn* c = lease.get();
    command(c, "begin", "BEGIN");
    try {
        command(c, "create staging table", sql::create_incoming);
        run(c, "copy", sql::copy_incoming, {}, PGRES_COPY_IN);
        std::string chunk;
        auto flush = [&] {
            if (PQputCopyData(c, chunk.data(), static_cast<int>(chunk.size())) != 1) {
                throw StoreError("copy: " + message_of(c));
            }
            chunk.clear();
        };
        for (const StoredRun& r : runs) {
            append_copy_field(chunk, r.submission.cpu_name);
            chunk += '\t' + r.submission.type + '\t' + std::to_string(r.submission.score) + '\t' +
                     std::to_string(r.submission.threads) + '\t' + std::to_string(r.submitted_at) + '\n';
            if (chunk.size() > 256 * 1024) flush();
        }
        if (!chunk.empty()) flush();
        if (PQputCopyEnd(c, nullptr) != 1) throw StoreError("copy: " + message_of(c));
        Result copied(PQgetResult(c), &PQclear);
        if (PQresultStatus(copied.get()) != PGRES_COMMAND_OK) throw StoreError("copy: " + message_of(c));
        while (PGresult* rest = PQgetResult(c)) PQclear(rest);
        command(c, "store runs", sql::store_incoming);
        command(c, "commit", "COMMIT");
    } catch (...) {
        PQclear(PQexec(c, "ROLLBACK"));
        throw;
    }
}

void PostgresStore::for_each_batch(std::size_t batch_size,
                                   const std::function<void(const std::vector<StoredRun>&)>& visit) {
    std::int64_t last_id = 0;
    for (;;) {
        std::vector<StoredRun> batch;
        {
            Lease lease(*this);
            Result rows = query(lease.get(), "read runs", sql::runs_after,
                                {std::to_string(last_id), std::to_string(batch_size)});
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
    Lease lease(*this);
    Result rows = query(lease.get(), "count runs", sql::run_count);
    return integer_at(rows.get(), 0, 0);
}

std::vector<StandingsRow> PostgresStore::standings(std::string_view type) {
    Lease lease(*this);
    Result rows = query(lease.get(), "standings", sql::standings,
                        {std::string(type), std::to_string(max_standings_rows)});
    std::vector<StandingsRow> out;
    for (int i = 0; i < PQntuples(rows.get()); ++i) {
        out.push_back(
            {PQgetvalue(rows.get(), i, 0), integer_at(rows.get(), i, 1), integer_at(rows.get(), i, 2)});
    }
    return out;
}

bool PostgresStore::allow_submission(const std::string& address) {
    bool sweep = false;
    {
        std::lock_guard lock(mutex_);
        auto now = std::chrono::steady_clock::now();
        if (now - last_sweep_ >= std::chrono::minutes(1)) {
            last_sweep_ = now;
            sweep = true;
        }
    }
    Lease lease(*this);
    PGconn* c = lease.get();
    // Addresses that went quiet are dropped now and then, so the table cannot grow
    // with every client ever seen.
    if (sweep) command(c, "forget quiet addresses", sql::forget_quiet_addresses);
    command(c, "begin", sql::attempt_begin);
    try {
        query(c, "rate limit lock", sql::attempt_lock, {address});
        Result counted = query(c, "rate limit", sql::attempt, {address, std::to_string(per_minute_)});
        command(c, "commit", "COMMIT");
        return PQntuples(counted.get()) == 1;
    } catch (...) {
        PQclear(PQexec(c, "ROLLBACK"));
        throw;
    }
}

std::string redacted_location(const std::string& location) {
    std::size_t scheme = location.find("://");
    if (scheme == std::string::npos) return location;
    std::size_t start = scheme + 3;
    std::size_t at = location.find('@', start);
    std::size_t slash = location.find('/', start);
    if (at == std::string::npos || (slash != std::string::npos && slash < at)) return location;
    std::size_t colon = location.find(':', start);
    if (colon == std::string::npos || colon > at) return location;
    return location.substr(0, colon) + ":***" + location.substr(at);
}
