#pragma once

#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "server/submission.h"

struct sqlite3;
struct sqlite3_stmt;

struct StandingsRow {
    std::string cpu;
    std::int64_t avg_score = 0;
    std::int64_t runs = 0;
};

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The submissions in one SQLite file. Every call is serialized on one connection;
// failures throw StoreError.
class Store {
public:
    static constexpr int max_standings_rows = 100;

    // `busy_timeout_ms`: how long a write waits for another connection's lock before failing.
    explicit Store(const std::string& path, int busy_timeout_ms = 5000);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // In its own transaction; on return the row is on disk.
    void add(const Submission& submission);

    // One row per processor name for the run type: the integer mean of its scores
    // (truncated), best first, equal means by name; at most max_standings_rows.
    std::vector<StandingsRow> standings(std::string_view type);

private:
    void execute(const char* sql);
    sqlite3_stmt* prepare(const char* sql);
    [[noreturn]] void fail(const char* what);

    std::mutex mutex_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* begin_ = nullptr;
    sqlite3_stmt* commit_ = nullptr;
    sqlite3_stmt* rollback_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* standings_ = nullptr;
};
