#include "server/sqlite_store.h"

#include <ctime>
#include <thread>

#include <sqlite3.h>

#include "server/cpu_name.h"
#include "server/standings_totals.h"

namespace {

// Every statement this store runs. Schema version 1 added standings_totals; version 2
// keys its rows by look-alike name (cpu_key). Opening an older file, or one keyed by
// other rules, builds the totals anew from the runs.
namespace sql {

const char* const create_runs = "CREATE TABLE IF NOT EXISTS submissions ("
                                " id INTEGER PRIMARY KEY,"
                                " cpu_name TEXT NOT NULL,"
                                " type TEXT NOT NULL CHECK (type IN ('single', 'multi')),"
                                " score INTEGER NOT NULL CHECK (score > 0),"
                                " threads INTEGER NOT NULL CHECK (threads > 0),"
                                " submitted_at INTEGER NOT NULL)";

// Per run type and look-alike key: the name shown (the first spelling seen), sum and
// count of the scores, and their truncated mean kept beside them so that the ranking is
// read in index order, 100 rows at most.
const char* const create_totals = "CREATE TABLE standings_totals ("
                                  " type TEXT NOT NULL,"
                                  " cpu_key TEXT NOT NULL,"
                                  " cpu_name TEXT NOT NULL,"
                                  " score_sum INTEGER NOT NULL,"
                                  " runs INTEGER NOT NULL,"
                                  " avg_score INTEGER NOT NULL,"
                                  " PRIMARY KEY (type, cpu_key)) WITHOUT ROWID";
const char* const create_ranking =
    "CREATE INDEX standings_totals_ranked ON standings_totals (type, avg_score DESC, cpu_name)";
const char* const create_meta =
    "CREATE TABLE IF NOT EXISTS leaderboard_meta (name TEXT PRIMARY KEY, value TEXT NOT NULL)";
const char* const name_key_version = "SELECT value FROM leaderboard_meta WHERE name = 'name_keys'";
const char* const set_name_key_version = "INSERT INTO leaderboard_meta (name, value) VALUES ('name_keys', ?1)"
                                         " ON CONFLICT (name) DO UPDATE SET value = excluded.value";
const char* const totals_by_name = "SELECT type, cpu_name, SUM(score), COUNT(*), MIN(id) FROM submissions"
                                   " GROUP BY type, cpu_name";
const char* const insert_totals =
    "INSERT INTO standings_totals (type, cpu_key, cpu_name, score_sum, runs, avg_score)"
    " VALUES (?1, ?2, ?3, ?4, ?5, ?4 / ?5)";
const int schema_version = 2;

const char* const insert_run = "INSERT INTO submissions (cpu_name, type, score, threads, submitted_at)"
                               " VALUES (?1, ?2, ?3, ?4, ?5)";
// Integer division: the mean is truncated. The name of an existing row stays.
const char* const add_to_totals =
    "INSERT INTO standings_totals (type, cpu_key, cpu_name, score_sum, runs, avg_score)"
    " VALUES (?1, ?2, ?3, ?4, 1, ?4)"
    " ON CONFLICT (type, cpu_key) DO UPDATE SET score_sum = score_sum + excluded.score_sum,"
    " runs = runs + 1, avg_score = (score_sum + excluded.score_sum) / (runs + 1)";
const char* const standings = "SELECT cpu_name, avg_score, runs FROM standings_totals WHERE type = ?1"
                              " ORDER BY avg_score DESC, cpu_name ASC LIMIT ?2";
const char* const processor_row =
    "SELECT cpu_name, avg_score, runs FROM standings_totals WHERE type = ?1 AND cpu_key = ?2";
const char* const all_runs =
    "SELECT cpu_name, type, score, threads, submitted_at FROM submissions ORDER BY id";
const char* const run_count = "SELECT COUNT(*) FROM submissions";

}  // namespace sql

// Resets a statement on every way out of a scope, so that it never holds a read
// transaction or a lock past its use.
class StatementUse {
public:
    explicit StatementUse(sqlite3_stmt* statement) : statement_(statement) {}
    ~StatementUse() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

private:
    sqlite3_stmt* statement_;
};

void bind_text(sqlite3_stmt* statement, int index, const std::string& text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string column_text(sqlite3_stmt* statement, int index) {
    const unsigned char* text = sqlite3_column_text(statement, index);
    int bytes = sqlite3_column_bytes(statement, index);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(bytes))
                : std::string();
}

}  // namespace

// One call's hold on the connection: waits for its turn until the deadline, which the
// busy handler then applies to the locks of other connections.
class SqliteStore::Turn {
public:
    Turn(SqliteStore& store, Deadline deadline) : store_(store) {
        std::unique_lock lock(store.turn_mutex_);
        auto free = [&store] { return !store.busy_ || store.interrupted_; };
        if (deadline == no_deadline) {
            store.turn_free_.wait(lock, free);
        } else if (!store.turn_free_.wait_until(lock, deadline, free)) {
            throw StoreUnavailable("the database was busy for longer than the time allowed");
        }
        if (store.interrupted_) throw StoreUnavailable("the server is stopping");
        store.busy_ = true;
        store.call_deadline_ = deadline;
    }
    ~Turn() {
        {
            std::lock_guard lock(store_.turn_mutex_);
            store_.busy_ = false;
        }
        store_.turn_free_.notify_one();
    }
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;

private:
    SqliteStore& store_;
};

int SqliteStore::on_busy(void* store_pointer, int attempts) {
    auto& store = *static_cast<SqliteStore*>(store_pointer);
    if (store.interrupted_ || std::chrono::steady_clock::now() >= store.call_deadline_) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(attempts < 10 ? 1 : 5));
    return 1;
}

void SqliteStore::interrupt() {
    {
        std::lock_guard lock(turn_mutex_);
        interrupted_ = true;
    }
    turn_free_.notify_all();
    // Safe from any thread while the connection is open; ends a statement in progress.
    sqlite3_interrupt(db_);
}

SqliteStore::SqliteStore(const std::string& path, int per_minute) : limiter_(per_minute) {
    int rc = sqlite3_open_v2(path.c_str(), &db_,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw StoreError("cannot open " + path + ": " + message);
    }
    try {
        if (sqlite3_db_readonly(db_, "main") == 1) throw StoreError("the file is read-only");
        sqlite3_busy_handler(db_, &SqliteStore::on_busy, this);
        call_deadline_ = store_call_deadline();
        execute("PRAGMA journal_mode=WAL");
        // FULL: the commit is synced before the reply goes out.
        execute("PRAGMA synchronous=FULL");
        begin_ = prepare("BEGIN IMMEDIATE");
        commit_ = prepare("COMMIT");
        rollback_ = prepare("ROLLBACK");
        upgrade_schema();
        call_deadline_ = no_deadline;
        insert_run_ = prepare(sql::insert_run);
        add_to_totals_ = prepare(sql::add_to_totals);
        standings_ = prepare(sql::standings);
        processor_row_ = prepare(sql::processor_row);
    } catch (const StoreError& e) {
        close();
        throw StoreError("cannot use " + path + ": " + e.what());
    } catch (...) {
        close();
        throw;
    }
}

SqliteStore::~SqliteStore() {
    close();
}

void SqliteStore::close() {
    for (sqlite3_stmt* s :
         {begin_, commit_, rollback_, insert_run_, add_to_totals_, standings_, processor_row_}) {
        sqlite3_finalize(s);
    }
    sqlite3_close(db_);
    db_ = nullptr;
}

void SqliteStore::fail(const char* what) {
    std::string message = std::string(what) + ": " + sqlite3_errmsg(db_);
    const int code = sqlite3_errcode(db_) & 0xFF;
    // Another connection's lock held past the deadline, or stopping: nothing was changed.
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED || code == SQLITE_INTERRUPT)
        throw StoreUnavailable(message);
    throw StoreError(message);
}

void SqliteStore::execute(const char* statement) {
    if (sqlite3_exec(db_, statement, nullptr, nullptr, nullptr) != SQLITE_OK) fail(statement);
}

sqlite3_stmt* SqliteStore::prepare(const char* statement_text) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db_, statement_text, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
        SQLITE_OK) {
        fail("prepare");
    }
    return statement;
}

template <typename Work>
void SqliteStore::in_transaction(Work work) {
    {
        StatementUse use(begin_);
        if (sqlite3_step(begin_) != SQLITE_DONE) fail("begin");
    }
    try {
        work();
    } catch (...) {
        StatementUse use(rollback_);
        sqlite3_step(rollback_);
        throw;
    }
    StatementUse use(commit_);
    if (sqlite3_step(commit_) != SQLITE_DONE) {
        const std::string message = std::string("commit: ") + sqlite3_errmsg(db_);
        const int code = sqlite3_errcode(db_) & 0xFF;
        // A failed COMMIT may leave the transaction open; close it so the next one can begin.
        if (!sqlite3_get_autocommit(db_)) {
            StatementUse undo(rollback_);
            sqlite3_step(rollback_);
        }
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED) throw StoreUnavailable(message);
        throw StoreError(message);
    }
}

void SqliteStore::upgrade_schema() {
    in_transaction([this] {
        int version = 0;
        std::string keyed_by;
        {
            sqlite3_stmt* query = prepare("PRAGMA user_version");
            if (sqlite3_step(query) == SQLITE_ROW) version = sqlite3_column_int(query, 0);
            sqlite3_finalize(query);
        }
        execute(sql::create_runs);
        execute(sql::create_meta);
        {
            sqlite3_stmt* query = prepare(sql::name_key_version);
            if (sqlite3_step(query) == SQLITE_ROW) keyed_by = column_text(query, 0);
            sqlite3_finalize(query);
        }
        if (version < sql::schema_version || keyed_by != cpu_name_key_version()) rebuild_totals();
        // Written on every opening, so that a file the server cannot write is found now
        // rather than by the first submission.
        execute(("PRAGMA user_version=" + std::to_string(sql::schema_version)).c_str());
    });
}

void SqliteStore::rebuild_totals() {
    std::vector<NameTotals> names;
    sqlite3_stmt* query = prepare(sql::totals_by_name);
    for (int rc = sqlite3_step(query); rc == SQLITE_ROW; rc = sqlite3_step(query)) {
        names.push_back({column_text(query, 0), column_text(query, 1), sqlite3_column_int64(query, 2),
                         sqlite3_column_int64(query, 3), sqlite3_column_int64(query, 4)});
    }
    sqlite3_finalize(query);
    execute("DROP TABLE IF EXISTS standings_totals");
    execute(sql::create_totals);
    execute(sql::create_ranking);
    sqlite3_stmt* insert = prepare(sql::insert_totals);
    for (const KeyedTotals& row : merge_look_alikes(std::move(names))) {
        StatementUse use(insert);
        bind_text(insert, 1, row.type);
        bind_text(insert, 2, row.cpu_key);
        bind_text(insert, 3, row.cpu_name);
        sqlite3_bind_int64(insert, 4, row.score_sum);
        sqlite3_bind_int64(insert, 5, row.runs);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            sqlite3_finalize(insert);
            fail("rebuild totals");
        }
    }
    sqlite3_finalize(insert);
    sqlite3_stmt* mark = prepare(sql::set_name_key_version);
    bind_text(mark, 1, cpu_name_key_version());
    const int rc = sqlite3_step(mark);
    sqlite3_finalize(mark);
    if (rc != SQLITE_DONE) fail("mark the name keys");
}

void SqliteStore::insert_run(const StoredRun& run) {
    const Submission& s = run.submission;
    const std::string name = canonical_cpu_name(s.cpu_name);
    {
        StatementUse use(insert_run_);
        bind_text(insert_run_, 1, name);
        bind_text(insert_run_, 2, s.type);
        sqlite3_bind_int64(insert_run_, 3, s.score);
        sqlite3_bind_int64(insert_run_, 4, s.threads);
        sqlite3_bind_int64(insert_run_, 5, run.submitted_at);
        if (sqlite3_step(insert_run_) != SQLITE_DONE) fail("insert");
    }
    StatementUse use(add_to_totals_);
    bind_text(add_to_totals_, 1, s.type);
    bind_text(add_to_totals_, 2, cpu_name_key(name));
    bind_text(add_to_totals_, 3, name);
    sqlite3_bind_int64(add_to_totals_, 4, s.score);
    if (sqlite3_step(add_to_totals_) != SQLITE_DONE) fail("update totals");
}

void SqliteStore::add(const Submission& submission, Deadline deadline) {
    Turn turn(*this, deadline);
    StoredRun run{submission, static_cast<std::int64_t>(std::time(nullptr))};
    in_transaction([&] { insert_run(run); });
}

void SqliteStore::add_many(const std::vector<StoredRun>& runs) {
    Turn turn(*this, no_deadline);
    in_transaction([&] {
        for (const StoredRun& run : runs) insert_run(run);
    });
}

void SqliteStore::for_each_batch(std::size_t batch_size,
                                 const std::function<void(const std::vector<StoredRun>&)>& visit) {
    Turn turn(*this, no_deadline);
    sqlite3_stmt* query = prepare(sql::all_runs);
    std::vector<StoredRun> batch;
    try {
        for (;;) {
            int rc = sqlite3_step(query);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) fail("read runs");
            StoredRun run;
            run.submission.cpu_name = column_text(query, 0);
            run.submission.type = column_text(query, 1);
            run.submission.score = sqlite3_column_int(query, 2);
            run.submission.threads = sqlite3_column_int(query, 3);
            run.submitted_at = sqlite3_column_int64(query, 4);
            batch.push_back(std::move(run));
            if (batch.size() >= batch_size) {
                visit(batch);
                batch.clear();
            }
        }
        if (!batch.empty()) visit(batch);
    } catch (...) {
        sqlite3_finalize(query);
        throw;
    }
    sqlite3_finalize(query);
}

std::int64_t SqliteStore::run_count() {
    Turn turn(*this, no_deadline);
    sqlite3_stmt* query = prepare(sql::run_count);
    std::int64_t count = sqlite3_step(query) == SQLITE_ROW ? sqlite3_column_int64(query, 0) : -1;
    sqlite3_finalize(query);
    if (count < 0) fail("count runs");
    return count;
}

std::vector<StandingsRow> SqliteStore::standings(std::string_view type, Deadline deadline) {
    Turn turn(*this, deadline);
    StatementUse use(standings_);
    sqlite3_bind_text(standings_, 1, type.data(), static_cast<int>(type.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(standings_, 2, max_standings_rows);
    std::vector<StandingsRow> rows;
    for (;;) {
        int rc = sqlite3_step(standings_);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) fail("standings");
        rows.push_back({column_text(standings_, 0), sqlite3_column_int64(standings_, 1),
                        sqlite3_column_int64(standings_, 2)});
    }
    return rows;
}

std::optional<StandingsRow> SqliteStore::processor_row(std::string_view type, std::string_view cpu_key,
                                                       Deadline deadline) {
    Turn turn(*this, deadline);
    StatementUse use(processor_row_);
    sqlite3_bind_text(processor_row_, 1, type.data(), static_cast<int>(type.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(processor_row_, 2, cpu_key.data(), static_cast<int>(cpu_key.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(processor_row_);
    if (rc == SQLITE_DONE) return std::nullopt;
    if (rc != SQLITE_ROW) fail("processor row");
    return StandingsRow{column_text(processor_row_, 0), sqlite3_column_int64(processor_row_, 1),
                        sqlite3_column_int64(processor_row_, 2)};
}

bool SqliteStore::allow_submission(const std::string& address, Deadline) {
    if (interrupted_) throw StoreUnavailable("the server is stopping");
    return limiter_.allow(address);
}
