#include "server/sqlite_store.h"

#include <algorithm>
#include <ctime>
#include <exception>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <tuple>
#include <utility>

#include <sqlite3.h>

#include "server/board_rules.h"
#include "server/board_sql.h"
#include "server/cpu_name.h"

namespace vornmark::server {

namespace {

// Every statement this store runs. Schema version 1 added standings_totals; version 2
// keyed its rows by look-alike name (cpu_key); version 3 counts runs by rules: each run
// keeps its row's key, its address unit (a keyed hash; NULL for runs from before, each
// taken as a unit of its own) and whether it counts, and each row its counted runs in
// score bins. Opening an older file, or one keyed by other rules, builds everything
// derived from the runs anew.
namespace sql {

const char* const create_runs = "CREATE TABLE IF NOT EXISTS submissions ("
                                " id INTEGER PRIMARY KEY,"
                                " cpu_name TEXT NOT NULL,"
                                " type TEXT NOT NULL CHECK (type IN ('single', 'multi')),"
                                " score INTEGER NOT NULL CHECK (score > 0),"
                                " threads INTEGER NOT NULL CHECK (threads > 0),"
                                " submitted_at INTEGER NOT NULL)";
// Added to the runs of an older file (which has none of them).
const char* const run_columns[] = {
    "ALTER TABLE submissions ADD COLUMN cpu_key TEXT",
    "ALTER TABLE submissions ADD COLUMN unit TEXT",
    "ALTER TABLE submissions ADD COLUMN counted INTEGER NOT NULL DEFAULT 1",
    "ALTER TABLE submissions ADD COLUMN why TEXT",
};
const char* const has_run_columns =
    "SELECT COUNT(*) FROM pragma_table_info('submissions') WHERE name = 'unit'";
const char* const create_run_indexes =
    // No index over the runs but their id: only an operator's commands look runs up by row or by
    // address unit, and they read the runs through once, so that a submission writes two pages
    // less. Dropped from the files that have them.
    "DROP INDEX IF EXISTS submissions_by_row;"
    "DROP INDEX IF EXISTS submissions_by_unit;"
    // Counted runs per address unit, day and row; new names per address unit and day.
    "CREATE TABLE IF NOT EXISTS unit_day_runs (unit TEXT NOT NULL, day INTEGER NOT NULL, type TEXT NOT NULL,"
    " cpu_key TEXT NOT NULL, runs INTEGER NOT NULL, PRIMARY KEY (unit, day, type, cpu_key)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS unit_day_names (unit TEXT NOT NULL, day INTEGER NOT NULL,"
    " names INTEGER NOT NULL, PRIMARY KEY (unit, day)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS hidden_rows (cpu_key TEXT PRIMARY KEY, cpu_name TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS refused_runs (id INTEGER PRIMARY KEY, cpu_name TEXT NOT NULL, type TEXT NOT "
    "NULL,"
    " score INTEGER NOT NULL, threads INTEGER NOT NULL, unit TEXT, submitted_at INTEGER NOT NULL,"
    " why TEXT NOT NULL)";

// Derived from the runs, and made anew from them: per run type and look-alike key the
// name shown (the first spelling seen), the counted runs in bins per thread count, the
// address units behind the row, and the row read from its bins, ranked in index order.
const char* const create_derived =
    "DROP TABLE IF EXISTS standings_totals; DROP TABLE IF EXISTS row_bins; DROP TABLE IF EXISTS row_units;"
    "CREATE TABLE standings_totals (type TEXT NOT NULL, cpu_key TEXT NOT NULL, cpu_name TEXT NOT NULL,"
    " avg_score INTEGER NOT NULL, runs INTEGER NOT NULL, units INTEGER NOT NULL,"
    " PRIMARY KEY (type, cpu_key)) WITHOUT ROWID;"
    "CREATE INDEX standings_totals_ranked ON standings_totals (type, avg_score DESC, cpu_name);"
    "CREATE TABLE row_bins (type TEXT NOT NULL, cpu_key TEXT NOT NULL, threads INTEGER NOT NULL,"
    " bin INTEGER NOT NULL, runs INTEGER NOT NULL, score_sum INTEGER NOT NULL,"
    " PRIMARY KEY (type, cpu_key, threads, bin)) WITHOUT ROWID;"
    "CREATE TABLE row_units (type TEXT NOT NULL, cpu_key TEXT NOT NULL, unit TEXT NOT NULL,"
    " PRIMARY KEY (type, cpu_key, unit)) WITHOUT ROWID";
const char* const create_meta =
    "CREATE TABLE IF NOT EXISTS leaderboard_meta (name TEXT PRIMARY KEY, value TEXT NOT NULL)";
const char* const name_key_version = "SELECT value FROM leaderboard_meta WHERE name = 'name_keys'";
const char* const set_name_key_version = "INSERT INTO leaderboard_meta (name, value) VALUES ('name_keys', ?1)"
                                         " ON CONFLICT (name) DO UPDATE SET value = excluded.value";
const int schema_version = 3;

// Rebuilding: the key of every spelling, then bins, units and names per row.
const char* const spellings = "SELECT cpu_name FROM submissions GROUP BY cpu_name";
const char* const create_spelling_keys =
    "CREATE TEMP TABLE spelling_keys (cpu_name TEXT PRIMARY KEY, cpu_key TEXT NOT NULL) WITHOUT ROWID";
const char* const insert_spelling_key = "INSERT INTO spelling_keys (cpu_name, cpu_key) VALUES (?1, ?2)";
const char* const key_every_run = "UPDATE submissions SET cpu_key = (SELECT k.cpu_key FROM spelling_keys k"
                                  " WHERE k.cpu_name = submissions.cpu_name);"
                                  "DROP TABLE temp.spelling_keys";
const char* const counted_scores = "SELECT type, cpu_key, threads, score, COUNT(*) FROM submissions"
                                   " WHERE counted = 1 GROUP BY type, cpu_key, threads, score";
const char* const fill_row_units =
    "INSERT INTO row_units (type, cpu_key, unit) SELECT DISTINCT type, cpu_key, unit"
    " FROM submissions WHERE counted = 1 AND unit IS NOT NULL";
const char* const units_per_row =
    "SELECT type, cpu_key, COUNT(DISTINCT unit) + SUM(CASE WHEN unit IS NULL THEN 1 ELSE 0 END)"
    " FROM submissions WHERE counted = 1 GROUP BY type, cpu_key";
const char* const first_spellings = "SELECT s.type, s.cpu_key, s.cpu_name FROM submissions s JOIN"
                                    " (SELECT MIN(id) AS id FROM submissions GROUP BY type, cpu_key) f"
                                    " ON s.id = f.id";

const char* const insert_run =
    "INSERT INTO submissions (cpu_name, type, score, threads, submitted_at, cpu_key,"
    " unit, counted, why) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)";
const char* const known_name =
    "SELECT 1 FROM standings_totals WHERE type IN ('single', 'multi') AND cpu_key = ?1";
const char* const names_today = "SELECT names FROM unit_day_names WHERE unit = ?1 AND day = ?2";
const char* const count_new_name = "INSERT INTO unit_day_names (unit, day, names) VALUES (?1, ?2, 1)"
                                   " ON CONFLICT (unit, day) DO UPDATE SET names = names + 1";
const char* const count_daily_run =
    "INSERT INTO unit_day_runs (unit, day, type, cpu_key, runs) VALUES (?1, ?2, ?3, ?4, 1)"
    " ON CONFLICT (unit, day, type, cpu_key) DO UPDATE SET runs = runs + 1 RETURNING runs";
const char* const add_bin = "INSERT INTO row_bins (type, cpu_key, threads, bin, runs, score_sum)"
                            " VALUES (?1, ?2, ?3, ?4, 1, ?5) ON CONFLICT (type, cpu_key, threads, bin)"
                            " DO UPDATE SET runs = runs + 1, score_sum = score_sum + excluded.score_sum";
const char* const insert_bin = "INSERT INTO row_bins (type, cpu_key, threads, bin, runs, score_sum)"
                               " VALUES (?1, ?2, ?3, ?4, ?5, ?6)";
const char* const row_bins =
    "SELECT threads, bin, runs, score_sum FROM row_bins WHERE type = ?1 AND cpu_key = ?2";
const char* const add_unit = "INSERT OR IGNORE INTO row_units (type, cpu_key, unit) VALUES (?1, ?2, ?3)";
// The name of an existing row stays.
const char* const upsert_totals =
    "INSERT INTO standings_totals (type, cpu_key, cpu_name, avg_score, runs, units) VALUES (?1, ?2, ?3, ?4, "
    "?5, ?6)"
    " ON CONFLICT (type, cpu_key) DO UPDATE SET avg_score = excluded.avg_score, runs = excluded.runs,"
    " units = units + excluded.units";
// The standings' reads, as the PostgreSQL store has them.
const std::string standings = standings_sql(SqlPlaceholders::sqlite);
const std::string processor_row = processor_row_sql(SqlPlaceholders::sqlite);
const std::string listed_rows = listed_rows_sql(SqlPlaceholders::sqlite);
const char* const all_runs =
    "SELECT cpu_name, type, score, threads, submitted_at FROM submissions ORDER BY id";
const char* const run_count = "SELECT COUNT(*) FROM submissions";
const char* const log_refusal =
    "INSERT INTO refused_runs (cpu_name, type, score, threads, unit, submitted_at, why)"
    " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)";
// The refusals log keeps the latest ones only, so that a flood cannot fill the disk.
const char* const trim_refusals =
    "DELETE FROM refused_runs WHERE id <= (SELECT MAX(id) FROM refused_runs) - 10000";
const char* const refusals = "SELECT cpu_name, type, score, threads, submitted_at, why FROM refused_runs"
                             " ORDER BY id DESC LIMIT ?1";
const char* const rows_with_bins = "SELECT DISTINCT type, cpu_key FROM row_bins";
const char* const counted_runs_latest_first =
    "SELECT type, cpu_key, threads, score, cpu_name, submitted_at FROM submissions"
    " WHERE counted = 1 ORDER BY id DESC";
const char* const hide = "INSERT OR IGNORE INTO hidden_rows (cpu_key, cpu_name) VALUES (?1, ?2)";
const char* const unhide = "DELETE FROM hidden_rows WHERE cpu_key = ?1";
const char* const forget_unit =
    "UPDATE submissions SET counted = 0, why = 'address forgotten by the operator'"
    " WHERE unit = ?1 AND counted = 1 RETURNING type, cpu_key";
const char* const clear_row_bins = "DELETE FROM row_bins WHERE type = ?1 AND cpu_key = ?2";
const char* const clear_row_units = "DELETE FROM row_units WHERE type = ?1 AND cpu_key = ?2";
const char* const counted_runs =
    "SELECT type, cpu_key, threads, score, unit FROM submissions WHERE counted = 1";
const char* const set_totals = "UPDATE standings_totals SET avg_score = ?3, runs = ?4, units = ?5"
                               " WHERE type = ?1 AND cpu_key = ?2";

}  // namespace sql

[[noreturn]] void fail_on(sqlite3* db, const std::string& what) {
    std::string message = what + ": " + sqlite3_errmsg(db);
    const int code = sqlite3_errcode(db) & 0xFF;
    // Another connection's lock held past the deadline, or stopping: nothing was changed.
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED || code == SQLITE_INTERRUPT)
        throw StoreUnavailable(message);
    throw StoreError(message);
}

// One use of a statement: binds, steps, and resets it on every way out of the scope, so that it
// never holds a read transaction or a lock past its use.
class Use {
public:
    explicit Use(const SqliteStatement& statement) : s_(statement.get()) {}
    ~Use() {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

    Use& text(int index, std::string_view text) {
        sqlite3_bind_text(s_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // An empty text is bound as NULL.
    Use& text_or_null(int index, std::string_view text) {
        if (text.empty()) return *this;
        return this->text(index, text);
    }
    Use& integer(int index, std::int64_t value) {
        sqlite3_bind_int64(s_, index, value);
        return *this;
    }
    // True with a row to read, false when done; throws on a failure.
    bool step(const char* what) {
        const int rc = sqlite3_step(s_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        fail_on(sqlite3_db_handle(s_), what);
    }
    void run(const char* what) {
        while (step(what)) {
        }
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(s_, column); }
    std::string text(int column) const {
        const unsigned char* text = sqlite3_column_text(s_, column);
        const int bytes = sqlite3_column_bytes(s_, column);
        return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(bytes))
                    : std::string();
    }

private:
    sqlite3_stmt* s_;
};

std::int64_t now_seconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(statement_);
        statement_ = other.statement_;
        other.statement_ = nullptr;
    }
    return *this;
}

// Waits under `mutex` until the connection is free (or the store is stopping) or the deadline
// passes, then marks it busy and records the holder's deadline for the busy handler.
static void take_connection(std::mutex& mutex, std::condition_variable& free, bool& busy,
                            const std::atomic<bool>& interrupted, Deadline deadline,
                            Deadline& holder_deadline) {
    std::unique_lock lock(mutex);
    auto is_free = [&] { return !busy || interrupted; };
    if (deadline == no_deadline) {
        free.wait(lock, is_free);
    } else if (!free.wait_until(lock, deadline, is_free)) {
        throw StoreUnavailable("the database was busy for longer than the time allowed");
    }
    if (interrupted) throw StoreUnavailable("the server is stopping");
    busy = true;
    holder_deadline = deadline;
}

static void give_connection(std::mutex& mutex, std::condition_variable& free, bool& busy) {
    {
        std::lock_guard lock(mutex);
        busy = false;
    }
    // Submissions wait on the first connection's too, for their turn or for the transaction
    // that took them.
    free.notify_all();
}

// One call's hold on the connection: waits for its turn until the deadline, which the
// busy handler then applies to the locks of other connections.
class SqliteStore::Turn {
public:
    Turn(SqliteStore& store, Deadline deadline) : store_(store) {
        take_connection(store.turn_mutex_, store.turn_free_, store.busy_, store.interrupted_, deadline,
                        store.call_deadline_);
    }
    ~Turn() { give_connection(store_.turn_mutex_, store_.turn_free_, store_.busy_); }
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;

private:
    SqliteStore& store_;
};

// The read-only connection's hold, as Turn's.
class SqliteStore::ReaderTurn {
public:
    ReaderTurn(SqliteStore& store, Deadline deadline) : store_(store) {
        take_connection(store.reader_mutex_, store.reader_free_, store.reader_busy_, store.interrupted_,
                        deadline, store.reader_deadline_);
    }
    ~ReaderTurn() { give_connection(store_.reader_mutex_, store_.reader_free_, store_.reader_busy_); }
    ReaderTurn(const ReaderTurn&) = delete;
    ReaderTurn& operator=(const ReaderTurn&) = delete;

private:
    SqliteStore& store_;
};

int SqliteStore::on_reader_busy(void* store_pointer, int attempts) {
    auto& store = *static_cast<SqliteStore*>(store_pointer);
    if (store.interrupted_ || std::chrono::steady_clock::now() >= store.reader_deadline_) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(attempts < 10 ? 1 : 5));
    return 1;
}

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
    {
        // Taken so that a reader between its check of the flag and its wait still hears this.
        std::lock_guard lock(reader_mutex_);
    }
    reader_free_.notify_all();
    // Safe from any thread while the connection is open; ends a statement in progress.
    sqlite3_interrupt(db_);
    if (reader_) sqlite3_interrupt(reader_);
}

SqliteStore::SqliteStore(const std::string& path, const BoardRules& rules)
    : rules_(rules), limiter_(rules.per_minute) {
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
        known_name_ = prepare(sql::known_name);
        names_today_ = prepare(sql::names_today);
        count_new_name_ = prepare(sql::count_new_name);
        count_daily_run_ = prepare(sql::count_daily_run);
        add_bin_ = prepare(sql::add_bin);
        row_bins_ = prepare(sql::row_bins);
        add_unit_ = prepare(sql::add_unit);
        upsert_totals_ = prepare(sql::upsert_totals);
        standings_ = prepare(sql::standings.c_str());
        processor_row_ = prepare(sql::processor_row.c_str());
        savepoint_ = prepare("SAVEPOINT submission");
        release_ = prepare("RELEASE submission");
        rollback_to_ = prepare("ROLLBACK TO submission");
        log_refusal_ = prepare(sql::log_refusal);
        trim_refusals_ = prepare(sql::trim_refusals);
        data_version_ = prepare("PRAGMA data_version");
        rc = sqlite3_open_v2(path.c_str(), &reader_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) {
            const std::string message = reader_ ? sqlite3_errmsg(reader_) : sqlite3_errstr(rc);
            throw StoreError("cannot open a second connection: " + message);
        }
        sqlite3_busy_handler(reader_, &SqliteStore::on_reader_busy, this);
        for (auto [statement, text] : {std::pair{&reader_bins_, sql::row_bins},
                                       std::pair{&reader_listed_, sql::listed_rows.c_str()}}) {
            sqlite3_stmt* prepared = nullptr;
            if (sqlite3_prepare_v3(reader_, text, -1, SQLITE_PREPARE_PERSISTENT, &prepared, nullptr) !=
                SQLITE_OK) {
                sqlite3_finalize(prepared);
                fail_on(reader_, "prepare");
            }
            *statement = SqliteStatement(prepared);
        }
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
    for (SqliteStatement* s : {&begin_, &commit_, &rollback_, &insert_run_, &known_name_, &names_today_,
                               &count_new_name_, &count_daily_run_, &add_bin_, &row_bins_, &add_unit_,
                               &upsert_totals_, &standings_, &processor_row_, &log_refusal_, &trim_refusals_,
                               &savepoint_, &release_, &rollback_to_, &reader_bins_, &reader_listed_, &data_version_}) {
        *s = SqliteStatement();
    }
    sqlite3_close(reader_);
    reader_ = nullptr;
    sqlite3_close(db_);
    db_ = nullptr;
}

void SqliteStore::fail(const char* what) {
    fail_on(db_, what);
}

void SqliteStore::execute(const char* statement) {
    if (sqlite3_exec(db_, statement, nullptr, nullptr, nullptr) != SQLITE_OK) fail(statement);
}

SqliteStatement SqliteStore::prepare(const char* statement_text) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db_, statement_text, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(statement);
        fail("prepare");
    }
    return SqliteStatement(statement);
}

template <typename Work>
void SqliteStore::in_transaction(Work work) {
    Use(begin_).step("begin");
    try {
        work();
    } catch (...) {
        sqlite3_step(rollback_.get());
        sqlite3_reset(rollback_.get());
        throw;
    }
    Use use(commit_);
    if (sqlite3_step(commit_.get()) != SQLITE_DONE) {
        const std::string message = std::string("commit: ") + sqlite3_errmsg(db_);
        const int code = sqlite3_errcode(db_) & 0xFF;
        // A failed COMMIT may leave the transaction open; close it so the next one can begin.
        if (!sqlite3_get_autocommit(db_)) {
            sqlite3_step(rollback_.get());
            sqlite3_reset(rollback_.get());
        }
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED) throw StoreUnavailable(message);
        throw StoreError(message);
    }
}

void SqliteStore::upgrade_schema() {
    in_transaction([this] {
        std::int64_t version = 0;
        std::string keyed_by;
        {
            SqliteStatement query = prepare("PRAGMA user_version");
            Use use(query);
            if (use.step("schema version")) version = use.integer(0);
        }
        execute(sql::create_runs);
        execute(sql::create_meta);
        {
            SqliteStatement query = prepare(sql::has_run_columns);
            Use use(query);
            if (use.step("columns") && use.integer(0) == 0) {
                for (const char* column : sql::run_columns) execute(column);
            }
        }
        execute(sql::create_run_indexes);
        {
            SqliteStatement query = prepare(sql::name_key_version);
            Use use(query);
            if (use.step("name keys")) keyed_by = use.text(0);
        }
        if (version < sql::schema_version || keyed_by != cpu_name_key_version()) rebuild_derived();
        // Written on every opening, so that a file the server cannot write is found now
        // rather than by the first submission.
        execute(("PRAGMA user_version=" + std::to_string(sql::schema_version)).c_str());
    });
}

void SqliteStore::rebuild_derived() {
    // The key of every spelling, on every run.
    execute(sql::create_spelling_keys);
    {
        SqliteStatement names = prepare(sql::spellings);
        SqliteStatement insert = prepare(sql::insert_spelling_key);
        Use read(names);
        while (read.step("read names")) {
            const std::string name = read.text(0);
            Use(insert).text(1, name).text(2, cpu_name_key(canonical_cpu_name(name))).run("key names");
        }
    }
    execute(sql::key_every_run);
    execute(sql::create_derived);

    // The bins of every row, from its counted runs.
    std::map<std::pair<std::string, std::string>, std::map<std::pair<std::int64_t, int>, ThreadBin>> rows;
    {
        SqliteStatement scores = prepare(sql::counted_scores);
        Use read(scores);
        while (read.step("read scores")) {
            ThreadBin& bin =
                rows[{read.text(0), read.text(1)}][{read.integer(2), score_bin(read.integer(3))}];
            bin.threads = static_cast<std::int32_t>(read.integer(2));
            bin.bin = score_bin(read.integer(3));
            bin.runs += read.integer(4);
            bin.score_sum += read.integer(3) * read.integer(4);
        }
    }
    SqliteStatement insert_bin = prepare(sql::insert_bin);
    for (const auto& [row, bins] : rows) {
        for (const auto& [at, bin] : bins) {
            Use(insert_bin)
                .text(1, row.first)
                .text(2, row.second)
                .integer(3, bin.threads)
                .integer(4, bin.bin)
                .integer(5, bin.runs)
                .integer(6, bin.score_sum)
                .run("rebuild bins");
        }
    }
    execute(sql::fill_row_units);
    std::map<std::pair<std::string, std::string>, std::int64_t> units;
    {
        SqliteStatement query = prepare(sql::units_per_row);
        Use read(query);
        while (read.step("count units")) units[{read.text(0), read.text(1)}] = read.integer(2);
    }
    SqliteStatement totals = prepare(sql::upsert_totals);
    SqliteStatement names = prepare(sql::first_spellings);
    Use read(names);
    while (read.step("read first spellings")) {
        const std::pair<std::string, std::string> row{read.text(0), read.text(1)};
        std::vector<ThreadBin> bins;
        for (const auto& [at, bin] : rows[row]) bins.push_back(bin);
        const RowDistribution d = read_distribution(std::move(bins), rules_.outliers);
        Use(totals)
            .text(1, row.first)
            .text(2, row.second)
            .text(3, canonical_cpu_name(read.text(2)))
            .integer(4, d.avg_score)
            .integer(5, d.runs)
            .integer(6, units[row])
            .run("rebuild totals");
    }
    SqliteStatement mark = prepare(sql::set_name_key_version);
    Use(mark).text(1, cpu_name_key_version()).run("mark the name keys");
}

std::vector<ThreadBin> SqliteStore::row_bins(std::string_view type, std::string_view cpu_key) {
    return bins_of(row_bins_, type, cpu_key);
}

std::vector<ThreadBin> SqliteStore::bins_of(const SqliteStatement& read_bins, std::string_view type,
                                            std::string_view cpu_key) {
    std::vector<ThreadBin> bins;
    Use read(read_bins);
    read.text(1, type).text(2, cpu_key);
    while (read.step("read bins")) {
        bins.push_back({static_cast<std::int32_t>(read.integer(0)),
                        static_cast<std::int32_t>(read.integer(1)), read.integer(2), read.integer(3)});
    }
    return bins;
}

RowDistribution SqliteStore::update_totals(const std::string& type, const std::string& cpu_key,
                                           const std::string& name, std::int64_t new_units) {
    return write_totals(type, cpu_key, name, row_bins(type, cpu_key), new_units);
}

RowDistribution SqliteStore::write_totals(const std::string& type, const std::string& cpu_key,
                                          const std::string& name, std::vector<ThreadBin> bins,
                                          std::int64_t new_units) {
    RowDistribution d = read_distribution(std::move(bins), rules_.outliers);
    Use(upsert_totals_)
        .text(1, type)
        .text(2, cpu_key)
        .text(3, name)
        .integer(4, d.avg_score)
        .integer(5, d.runs)
        .integer(6, new_units)
        .run("update totals");
    return d;
}

// Changes only when another connection has committed since this one last asked.
std::int64_t SqliteStore::data_version() {
    Use read(data_version_);
    return read.step("data version") ? read.integer(0) : -1;
}

void SqliteStore::check_kept_rows() {
    const std::int64_t version = data_version();
    if (version != kept_rows_version_) kept_rows_.clear();
    kept_rows_version_ = version;
}

std::optional<bool> SqliteStore::written_elsewhere(Deadline deadline) {
    Turn turn(*this, deadline);
    const std::int64_t version = data_version();
    const bool changed = watched_version_ != -1 && version != watched_version_;
    watched_version_ = version;
    return changed;
}

void SqliteStore::add_to_bins(const std::string& type, const std::string& cpu_key, std::int64_t threads,
                              std::int64_t score) {
    Use(add_bin_)
        .text(1, type)
        .text(2, cpu_key)
        .integer(3, threads)
        .integer(4, score_bin(score))
        .integer(5, score)
        .run("add to bins");
}

void SqliteStore::insert_run(const StoredRun& run, const std::string& cpu_key, const std::string& unit,
                             bool counted, const std::string& why) {
    const Submission& s = run.submission;
    Use(insert_run_)
        .text(1, s.cpu_name)
        .text(2, s.type)
        .integer(3, s.score)
        .integer(4, s.threads)
        .integer(5, run.submitted_at)
        .text(6, cpu_key)
        .text_or_null(7, unit)
        .integer(8, counted ? 1 : 0)
        .text_or_null(9, why)
        .run("insert");
}

void SqliteStore::log_refusal(const Submission& s, const std::string& unit, std::int64_t at,
                              const std::string& why) {
    Use(log_refusal_)
        .text(1, s.cpu_name)
        .text(2, s.type)
        .integer(3, s.score)
        .integer(4, s.threads)
        .text_or_null(5, unit)
        .integer(6, at)
        .text(7, why)
        .run("log a refusal");
    Use(trim_refusals_).run("trim the refusals");
}

// A submission waiting for the connection. Whoever gets the turn stores every one waiting then in
// its own transaction, each behind a savepoint, so that one commit and its sync to disk serve
// them all; each caller gets its own outcome once that commit is done.
struct SqliteStore::QueuedSubmission {
    enum class State { queued, taken, done };
    Submission submission;
    std::string key;
    std::string unit;
    Deadline deadline;
    State state = State::queued;
    SubmitOutcome outcome;
    std::exception_ptr error;
};

SubmitOutcome SqliteStore::submit(const Submission& submission, const std::string& unit, Deadline deadline) {
    // The name's forms are worked out before the turn, so that other calls need not wait for them.
    auto mine = std::make_shared<QueuedSubmission>();
    mine->submission = submission;
    CpuNameForms forms = cpu_name_forms(submission.cpu_name);
    mine->submission.cpu_name = std::move(forms.shown);
    mine->key = std::move(forms.key);
    mine->unit = unit;
    mine->deadline = deadline;
    using State = QueuedSubmission::State;
    std::vector<std::shared_ptr<QueuedSubmission>> batch;
    {
        std::unique_lock lock(turn_mutex_);
        queued_.push_back(mine);
        auto done_or_free = [&] { return mine->state != State::queued || !busy_ || interrupted_; };
        bool in_time = true;
        if (deadline == no_deadline) {
            turn_free_.wait(lock, done_or_free);
        } else {
            in_time = turn_free_.wait_until(lock, deadline, done_or_free);
        }
        // Taken into another call's transaction: its outcome is known once that commits.
        if (mine->state == State::taken) turn_free_.wait(lock, [&] { return mine->state == State::done; });
        if (mine->state == State::done) {
            if (mine->error) std::rethrow_exception(mine->error);
            return mine->outcome;
        }
        if (!in_time || interrupted_) {
            queued_.erase(std::find(queued_.begin(), queued_.end(), mine));
            if (interrupted_) throw StoreUnavailable("the server is stopping");
            throw StoreUnavailable("the database was busy for longer than the time allowed");
        }
        busy_ = true;
        call_deadline_ = deadline;
        // This call's own first, then whatever else is waiting, in the order it came.
        queued_.erase(std::find(queued_.begin(), queued_.end(), mine));
        mine->state = State::taken;
        batch.push_back(mine);
        constexpr std::size_t most_at_once = 64;
        while (!queued_.empty() && batch.size() < most_at_once) {
            batch.push_back(std::move(queued_.front()));
            queued_.pop_front();
            batch.back()->state = State::taken;
            // Waits for other connections' locks end at the first of their deadlines.
            call_deadline_ = std::min(call_deadline_, batch.back()->deadline);
        }
    }
    const std::int64_t now = now_seconds();
    const std::int64_t day = day_of(now);
    try {
        in_transaction([&] {
            check_kept_rows();
            // Alone in its transaction, a submission that fails takes the whole of it back with it:
            // no savepoint is needed, and its statements and page copies are saved.
            if (batch.size() == 1) {
                mine->outcome = store_one(mine->submission, mine->key, mine->unit, now);
                mine->outcome.cpu_key = mine->key;
                return;
            }
            for (const std::shared_ptr<QueuedSubmission>& q : batch) {
                Use(savepoint_).step("savepoint");
                try {
                    q->outcome = store_one(q->submission, q->key, q->unit, now);
                    q->outcome.cpu_key = q->key;
                } catch (const StoreError&) {
                    // This one alone is undone; the others stay in the transaction.
                    q->error = std::current_exception();
                    kept_rows_.clear();
                    Use(rollback_to_).step("roll back to the savepoint");
                }
                Use(release_).step("release the savepoint");
            }
        });
    } catch (...) {
        // Nothing of the transaction was stored: every submission in it fails alike.
        for (const std::shared_ptr<QueuedSubmission>& q : batch) q->error = std::current_exception();
        kept_rows_.clear();
    }
    // Counters of days gone by are dropped by the first submission of each day.
    if (counters_swept_day_ != day) {
        counters_swept_day_ = day;
        // The runs are stored already: a failure here must not make their replies an error.
        try {
            const std::string yesterday = std::to_string(day - 1);
            execute(("DELETE FROM unit_day_runs WHERE day < " + yesterday).c_str());
            execute(("DELETE FROM unit_day_names WHERE day < " + yesterday).c_str());
        } catch (const StoreError&) {
        }
    }
    {
        std::lock_guard lock(turn_mutex_);
        busy_ = false;
        for (const std::shared_ptr<QueuedSubmission>& q : batch) q->state = State::done;
    }
    turn_free_.notify_all();
    if (mine->error) std::rethrow_exception(mine->error);
    return mine->outcome;
}

SubmitOutcome SqliteStore::store_one(const Submission& s, const std::string& key, const std::string& unit,
                                     std::int64_t now) {
    const std::int64_t day = day_of(now);
    const bool limited = !unit.empty() && !rules_.private_board;
    SubmitOutcome outcome;
    if (std::optional<std::string> why = implausible(s, rules_)) {
        outcome = {SubmitOutcome::Kind::refused, *why};
        log_refusal(s, unit, now, *why);
        return outcome;
    }
    if (limited && !Use(known_name_).text(1, key).step("known name")) {
        Use today(names_today_);
        if (today.text(1, unit).integer(2, day).step("new names") &&
            today.integer(0) >= rules_.new_names_per_day) {
            outcome = {SubmitOutcome::Kind::refused, too_many_new_names(rules_)};
            log_refusal(s, unit, now, outcome.why);
            return outcome;
        }
        Use(count_new_name_).text(1, unit).integer(2, day).run("count a new name");
    }
    bool counted = true;
    if (limited) {
        Use count(count_daily_run_);
        count.text(1, unit).integer(2, day).text(3, s.type).text(4, key).step("count runs");
        counted = count.integer(0) <= rules_.runs_per_address;
    }
    if (!counted) outcome = {SubmitOutcome::Kind::not_counted, over_daily_runs(rules_)};
    insert_run({s, now}, key, unit, counted, outcome.why);
    if (!counted) return outcome;
    add_to_bins(s.type, key, s.threads, s.score);
    // Emptied when full, so that a flood of names holds no more than this.
    constexpr std::size_t most_rows = 1024, most_units = 64;
    if (kept_rows_.size() >= most_rows) kept_rows_.clear();
    auto [kept, new_row] = kept_rows_.try_emplace({s.type, key});
    if (new_row) {
        kept->second.bins = row_bins(s.type, key);
    } else {
        const int bin = score_bin(s.score);
        auto same = std::find_if(kept->second.bins.begin(), kept->second.bins.end(),
                                 [&](const ThreadBin& b) { return b.threads == s.threads && b.bin == bin; });
        if (same == kept->second.bins.end()) {
            kept->second.bins.push_back({s.threads, bin, 1, s.score});
        } else {
            ++same->runs;
            same->score_sum += s.score;
        }
    }
    std::int64_t new_units = 1;
    if (!unit.empty()) {
        if (kept->second.units.count(unit) != 0) {
            new_units = 0;
        } else {
            Use(add_unit_).text(1, s.type).text(2, key).text(3, unit).run("add a unit");
            new_units = sqlite3_changes(db_);
            if (kept->second.units.size() < most_units) kept->second.units.insert(unit);
        }
    }
    const RowDistribution d = write_totals(s.type, key, s.cpu_name, kept->second.bins, new_units);
    const ThreadBin mine{s.threads, score_bin(s.score), 1, s.score};
    if (is_outlier(mine, d.runs + d.outliers, d.median_per_thread, rules_.outliers)) {
        outcome = {SubmitOutcome::Kind::not_counted, outlying(rules_)};
    }
    return outcome;
}

void SqliteStore::add_many(const std::vector<StoredRun>& runs) {
    Turn turn(*this, no_deadline);
    kept_rows_.clear();
    in_transaction([&] {
        std::map<std::pair<std::string, std::string>, std::pair<std::string, std::int64_t>> touched;
        for (const StoredRun& run : runs) {
            StoredRun r = run;
            r.submission.cpu_name = canonical_cpu_name(run.submission.cpu_name);
            const std::string key = cpu_name_key(r.submission.cpu_name);
            insert_run(r, key, {}, true, {});
            add_to_bins(r.submission.type, key, r.submission.threads, r.submission.score);
            auto [at, added] = touched.try_emplace({r.submission.type, key}, r.submission.cpu_name, 0);
            ++at->second.second;
        }
        for (const auto& [row, first] : touched)
            update_totals(row.first, row.second, first.first, first.second);
    });
}

void SqliteStore::for_each_batch(std::size_t batch_size,
                                 const std::function<void(const std::vector<StoredRun>&)>& visit) {
    Turn turn(*this, no_deadline);
    SqliteStatement query = prepare(sql::all_runs);
    Use read(query);
    std::vector<StoredRun> batch;
    while (read.step("read runs")) {
        StoredRun run;
        run.submission.cpu_name = read.text(0);
        run.submission.type = read.text(1);
        run.submission.score = static_cast<std::int32_t>(read.integer(2));
        run.submission.threads = static_cast<std::int32_t>(read.integer(3));
        run.submitted_at = read.integer(4);
        batch.push_back(std::move(run));
        if (batch.size() >= batch_size) {
            visit(batch);
            batch.clear();
        }
    }
    if (!batch.empty()) visit(batch);
}

std::int64_t SqliteStore::run_count() {
    Turn turn(*this, no_deadline);
    SqliteStatement query = prepare(sql::run_count);
    Use read(query);
    if (!read.step("count runs")) fail("count runs");
    return read.integer(0);
}

std::vector<StandingsRow> SqliteStore::standings(std::string_view type, Deadline deadline) {
    Turn turn(*this, deadline);
    Use read(standings_);
    read.text(1, type)
        .integer(2, rules_.private_board ? 1 : rules_.min_addresses)
        .integer(3, max_standings_rows);
    std::vector<StandingsRow> rows;
    while (read.step("standings"))
        rows.push_back({read.text(0), read.integer(1), read.integer(2), read.text(3)});
    return rows;
}

std::optional<StandingsRow> SqliteStore::processor_row(std::string_view type, std::string_view cpu_key,
                                                       Deadline deadline) {
    Turn turn(*this, deadline);
    Use read(processor_row_);
    read.text(1, type).integer(2, rules_.private_board ? 1 : rules_.min_addresses).text(3, cpu_key);
    if (!read.step("processor row")) return std::nullopt;
    return StandingsRow{read.text(0), read.integer(1), read.integer(2), read.text(3)};
}

std::vector<StandingsRow> SqliteStore::listed_rows(std::string_view type, Deadline deadline) {
    ReaderTurn turn(*this, deadline);
    Use read(reader_listed_);
    read.text(1, type).integer(2, rules_.private_board ? 1 : rules_.min_addresses);
    std::vector<StandingsRow> rows;
    while (read.step("listed rows"))
        rows.push_back({read.text(0), read.integer(1), read.integer(2), read.text(3)});
    return rows;
}

std::optional<Store::RowWithDistribution> SqliteStore::listed_row_with_distribution(std::string_view type,
                                                                                    std::string_view cpu_key,
                                                                                    Deadline deadline) {
    Turn turn(*this, deadline);
    std::optional<StandingsRow> row;
    {
        Use read(processor_row_);
        read.text(1, type).integer(2, rules_.private_board ? 1 : rules_.min_addresses).text(3, cpu_key);
        if (!read.step("processor row")) return std::nullopt;
        row = StandingsRow{read.text(0), read.integer(1), read.integer(2), read.text(3)};
    }
    return RowWithDistribution{std::move(*row), read_distribution(row_bins(type, cpu_key), rules_.outliers)};
}

std::optional<RowDistribution> SqliteStore::distribution(std::string_view type, std::string_view cpu_key,
                                                         Deadline deadline) {
    Turn turn(*this, deadline);
    std::vector<ThreadBin> bins = row_bins(type, cpu_key);
    if (bins.empty()) return std::nullopt;
    return read_distribution(std::move(bins), rules_.outliers);
}

std::vector<RowDistribution> SqliteStore::distributions(std::string_view type,
                                                        const std::vector<std::string>& cpu_keys,
                                                        Deadline deadline) {
    ReaderTurn turn(*this, deadline);
    std::vector<RowDistribution> out;
    out.reserve(cpu_keys.size());
    for (const std::string& key : cpu_keys)
        out.push_back(read_distribution(bins_of(reader_bins_, type, key), rules_.outliers));
    return out;
}

std::vector<FlaggedRun> SqliteStore::flagged(std::size_t limit) {
    Turn turn(*this, no_deadline);
    std::vector<FlaggedRun> out;
    std::vector<std::pair<std::string, std::string>> rows;
    {
        SqliteStatement query = prepare(sql::rows_with_bins);
        Use read(query);
        while (read.step("rows")) rows.emplace_back(read.text(0), read.text(1));
    }
    // The outlying bins, in the order of their rows and bins; then their runs, latest first,
    // from one reading of the runs.
    using BinAt = std::tuple<std::string, std::string, std::int64_t, int>;
    std::vector<BinAt> outlying_bins;
    for (const auto& [type, key] : rows) {
        const RowDistribution d = read_distribution(row_bins(type, key), rules_.outliers);
        if (d.outliers == 0) continue;
        for (const ThreadBin& bin : d.bins) {
            if (is_outlier(bin, d.runs + d.outliers, d.median_per_thread, rules_.outliers))
                outlying_bins.emplace_back(type, key, bin.threads, bin.bin);
        }
    }
    const std::string why = outlying(rules_);
    if (!outlying_bins.empty() && limit > 0) {
        std::map<BinAt, std::vector<FlaggedRun>> runs;
        for (const BinAt& at : outlying_bins) runs[at];
        SqliteStatement query = prepare(sql::counted_runs_latest_first);
        Use read(query);
        while (read.step("outlying runs")) {
            const std::int64_t score = read.integer(3);
            auto in = runs.find({read.text(0), read.text(1), read.integer(2), score_bin(score)});
            if (in == runs.end() || in->second.size() >= limit) continue;
            in->second.push_back({read.text(4), std::get<0>(in->first), score,
                                  std::get<2>(in->first), read.integer(5), why});
        }
        for (const BinAt& at : outlying_bins) {
            for (FlaggedRun& run : runs[at]) {
                if (out.size() >= limit) break;
                out.push_back(std::move(run));
            }
        }
    }
    SqliteStatement refused = prepare(sql::refusals);
    Use read(refused);
    read.integer(1, static_cast<std::int64_t>(limit));
    while (read.step("refusals")) {
        out.push_back({read.text(0), read.text(1), read.integer(2), read.integer(3), read.integer(4),
                       "refused: " + read.text(5)});
    }
    return out;
}

bool SqliteStore::set_hidden(const std::string& cpu_name, bool hidden) {
    Turn turn(*this, no_deadline);
    const std::string canonical = canonical_cpu_name(cpu_name);
    const std::string key = cpu_name_key(canonical);
    bool found = false;
    in_transaction([&] {
        found = Use(known_name_).text(1, key).step("known name");
        if (!found) return;
        SqliteStatement change = prepare(hidden ? sql::hide : sql::unhide);
        Use use(change);
        use.text(1, key);
        if (hidden) use.text(2, canonical);
        use.run("hide");
    });
    return found;
}

void SqliteStore::rebuild_rows(const std::set<std::pair<std::string, std::string>>& rows) {
    if (rows.empty()) return;
    SqliteStatement clear_bins = prepare(sql::clear_row_bins);
    SqliteStatement clear_units = prepare(sql::clear_row_units);
    for (const auto& [type, key] : rows) {
        Use(clear_bins).text(1, type).text(2, key).run("clear a row's bins");
        Use(clear_units).text(1, type).text(2, key).run("clear a row's units");
    }
    // The rows' counted runs, from one reading of every run: their bins and address units (a run
    // from before units were kept is a unit of its own).
    struct Row {
        std::map<std::pair<std::int64_t, int>, ThreadBin> bins;
        std::set<std::string> units;
        std::int64_t runs_without_unit = 0;
    };
    std::map<std::pair<std::string, std::string>, Row> rebuilt;
    for (const auto& row : rows) rebuilt[row];
    {
        SqliteStatement query = prepare(sql::counted_runs);
        Use read(query);
        while (read.step("row scores")) {
            auto in = rebuilt.find({read.text(0), read.text(1)});
            if (in == rebuilt.end()) continue;
            const std::int64_t threads = read.integer(2), score = read.integer(3);
            ThreadBin& bin = in->second.bins[{threads, score_bin(score)}];
            bin.threads = static_cast<std::int32_t>(threads);
            bin.bin = score_bin(score);
            ++bin.runs;
            bin.score_sum += score;
            if (sqlite3_column_type(query.get(), 4) == SQLITE_NULL)
                ++in->second.runs_without_unit;
            else
                in->second.units.insert(read.text(4));
        }
    }
    SqliteStatement insert_bin = prepare(sql::insert_bin);
    SqliteStatement set = prepare(sql::set_totals);
    for (const auto& [row, content] : rebuilt) {
        const auto& [type, key] = row;
        std::vector<ThreadBin> all;
        for (const auto& [at, bin] : content.bins) {
            Use(insert_bin)
                .text(1, type)
                .text(2, key)
                .integer(3, bin.threads)
                .integer(4, bin.bin)
                .integer(5, bin.runs)
                .integer(6, bin.score_sum)
                .run("rebuild bins");
            all.push_back(bin);
        }
        for (const std::string& unit : content.units)
            Use(add_unit_).text(1, type).text(2, key).text(3, unit).run("row units");
        const RowDistribution d = read_distribution(std::move(all), rules_.outliers);
        Use(set)
            .text(1, type)
            .text(2, key)
            .integer(3, d.avg_score)
            .integer(4, d.runs)
            .integer(5, static_cast<std::int64_t>(content.units.size()) + content.runs_without_unit)
            .run("set totals");
    }
}

std::int64_t SqliteStore::forget_unit(const std::string& unit) {
    Turn turn(*this, no_deadline);
    kept_rows_.clear();
    std::int64_t forgotten = 0;
    in_transaction([&] {
        std::set<std::pair<std::string, std::string>> rows;
        {
            SqliteStatement forget = prepare(sql::forget_unit);
            Use read(forget);
            read.text(1, unit);
            while (read.step("forget the unit")) {
                rows.emplace(read.text(0), read.text(1));
                ++forgotten;
            }
        }
        rebuild_rows(rows);
    });
    return forgotten;
}

bool SqliteStore::allow_submission(const std::string& address, Deadline) {
    if (interrupted_) throw StoreUnavailable("the server is stopping");
    return limiter_.allow(address);
}

}  // namespace vornmark::server
