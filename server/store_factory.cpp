#include "server/store_factory.h"

#include "server/postgres_store.h"
#include "server/sqlite_store.h"

namespace vornmark::server {

std::unique_ptr<Store> open_store(const std::string& location, const BoardRules& rules) {
    if (is_postgresql_location(location)) return std::make_unique<PostgresStore>(location, rules);
    return std::make_unique<SqliteStore>(location, rules);
}

}  // namespace vornmark::server
