#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/postgres_server.h"
#include "tests/support/temp_dir.h"

namespace vornmark::server {

// The two kinds of store, for tests that run against both.
enum class StoreKind { sqlite, postgresql };

inline std::string store_kind_name(const testing::TestParamInfo<StoreKind>& info) {
    return info.param == StoreKind::sqlite ? "SQLite" : "PostgreSQL";
}

// One PostgreSQL server per test process, started on first use.
inline PostgresServer& shared_postgres() {
    static PostgresServer server;
    return server;
}

// A fresh, empty location of the kind: a file name in a temporary directory, or a new
// database on the test's own PostgreSQL.
class FreshLocation {
public:
    explicit FreshLocation(StoreKind kind)
        : location_(kind == StoreKind::sqlite ? dir_.file("board.db") : shared_postgres().create_database()) {
    }
    const std::string& location() const { return location_; }

private:
    TempDir dir_;
    std::string location_;
};

}  // namespace vornmark::server
