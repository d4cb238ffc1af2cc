#include "server/store.h"

#include "server/postgres_store.h"
#include "server/sqlite_store.h"

bool is_postgresql_location(const std::string& location) {
    return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

std::unique_ptr<Store> open_store(const std::string& location, int per_minute) {
    if (is_postgresql_location(location)) return std::make_unique<PostgresStore>(location, per_minute);
    return std::make_unique<SqliteStore>(location, per_minute);
}
