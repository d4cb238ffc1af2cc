#pragma once

#include <cstdint>
#include <string>

namespace vornmark::server {

class Store;

// Copies every run of an SQLite leaderboard file into `target` in one transaction,
// with its time, and the totals with them; returns the number of runs copied.
// Refuses (StoreError) a missing file and a target that already holds runs, so that
// running it twice cannot count a run twice.
std::int64_t import_sqlite_runs(const std::string& sqlite_path, Store& target);

}  // namespace vornmark::server
