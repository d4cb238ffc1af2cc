#include "server/store.h"

#include <ctime>

#include <sqlite3.h>

namespace {

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

}  // namespace

Store::Store(const std::string& path, int busy_timeout_ms) {
    int rc = sqlite3_open_v2(path.c_str(), &db_,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw StoreError("cannot open " + path + ": " + message);
    }
    try {
        sqlite3_busy_timeout(db_, busy_timeout_ms);
        execute("PRAGMA journal_mode=WAL");
        // FULL: the commit is synced before the reply goes out.
        execute("PRAGMA synchronous=FULL");
        execute("CREATE TABLE IF NOT EXISTS submissions ("
                " id INTEGER PRIMARY KEY,"
                " cpu_name TEXT NOT NULL,"
                " type TEXT NOT NULL CHECK (type IN ('single', 'multi')),"
                " score INTEGER NOT NULL CHECK (score > 0),"
                " threads INTEGER NOT NULL CHECK (threads > 0),"
                " submitted_at INTEGER NOT NULL)");
        execute("CREATE INDEX IF NOT EXISTS submissions_by_type_cpu ON submissions (type, cpu_name)");
        begin_ = prepare("BEGIN IMMEDIATE");
        commit_ = prepare("COMMIT");
        rollback_ = prepare("ROLLBACK");
        insert_ = prepare("INSERT INTO submissions (cpu_name, type, score, threads, submitted_at) VALUES "
                          "(?1, ?2, ?3, ?4, ?5)");
        // SUM / COUNT on integers divides as integers, truncating the mean.
        standings_ = prepare("SELECT cpu_name, SUM(score) / COUNT(*) AS avg_score, COUNT(*) AS runs"
                             " FROM submissions WHERE type = ?1 GROUP BY cpu_name"
                             " ORDER BY avg_score DESC, cpu_name ASC LIMIT ?2");
    } catch (...) {
        for (sqlite3_stmt* s : {begin_, commit_, rollback_, insert_, standings_}) sqlite3_finalize(s);
        sqlite3_close(db_);
        throw;
    }
}

Store::~Store() {
    for (sqlite3_stmt* s : {begin_, commit_, rollback_, insert_, standings_}) sqlite3_finalize(s);
    sqlite3_close(db_);
}

void Store::fail(const char* what) {
    throw StoreError(std::string(what) + ": " + sqlite3_errmsg(db_));
}

void Store::execute(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        throw StoreError(std::string(sql) + ": " + text);
    }
}

sqlite3_stmt* Store::prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
        fail("prepare");
    }
    return statement;
}

void Store::add(const Submission& submission) {
    std::lock_guard lock(mutex_);
    {
        StatementUse use(begin_);
        if (sqlite3_step(begin_) != SQLITE_DONE) fail("begin");
    }
    try {
        StatementUse use(insert_);
        sqlite3_bind_text(insert_, 1, submission.cpu_name.data(),
                          static_cast<int>(submission.cpu_name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert_, 2, submission.type.data(), static_cast<int>(submission.type.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert_, 3, submission.score);
        sqlite3_bind_int64(insert_, 4, submission.threads);
        sqlite3_bind_int64(insert_, 5, static_cast<sqlite3_int64>(std::time(nullptr)));
        if (sqlite3_step(insert_) != SQLITE_DONE) fail("insert");
    } catch (...) {
        StatementUse use(rollback_);
        sqlite3_step(rollback_);
        throw;
    }
    StatementUse use(commit_);
    if (sqlite3_step(commit_) != SQLITE_DONE) {
        std::string message = sqlite3_errmsg(db_);
        // A failed COMMIT may leave the transaction open; close it so the next one can begin.
        if (!sqlite3_get_autocommit(db_)) {
            StatementUse undo(rollback_);
            sqlite3_step(rollback_);
        }
        throw StoreError("commit: " + message);
    }
}

std::vector<StandingsRow> Store::standings(std::string_view type) {
    std::lock_guard lock(mutex_);
    StatementUse use(standings_);
    sqlite3_bind_text(standings_, 1, type.data(), static_cast<int>(type.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(standings_, 2, max_standings_rows);
    std::vector<StandingsRow> rows;
    for (;;) {
        int rc = sqlite3_step(standings_);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) fail("standings");
        StandingsRow row;
        const unsigned char* name = sqlite3_column_text(standings_, 0);
        int name_bytes = sqlite3_column_bytes(standings_, 0);
        row.cpu.assign(name ? reinterpret_cast<const char*>(name) : "", static_cast<std::size_t>(name_bytes));
        row.avg_score = sqlite3_column_int64(standings_, 1);
        row.runs = sqlite3_column_int64(standings_, 2);
        rows.push_back(std::move(row));
    }
    return rows;
}
