#pragma once

#include <memory>
#include <string>

#include "server/store.h"

namespace vornmark::server {

// "postgresql://..." or "postgres://..." opens a PostgreSQL database (a libpq
// connection URI); anything else is the path of an SQLite file. Opening checks that the
// store can be written, migrates an older database once (keeping every run) and gives up
// within about 10 s on a database that does not answer.
std::unique_ptr<Store> open_store(const std::string& location, const BoardRules& rules);
inline std::unique_ptr<Store> open_store(const std::string& location, int per_minute) {
    BoardRules rules;
    rules.per_minute = per_minute;
    return open_store(location, rules);
}

}  // namespace vornmark::server
