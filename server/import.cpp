#include "server/import.h"

#include <filesystem>

#include "server/sqlite_store.h"

namespace vornmark::server {

std::int64_t import_sqlite_runs(const std::string& sqlite_path, Store& target) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(sqlite_path, error))
        throw StoreError("no SQLite file " + sqlite_path);
    if (std::int64_t present = target.run_count(); present > 0) {
        throw StoreError("the target already holds " + std::to_string(present) +
                         " runs; import only into an empty leaderboard");
    }
    SqliteStore source(sqlite_path);
    // All in memory, then one transaction: an import either happens whole or not at all.
    std::vector<StoredRun> runs;
    runs.reserve(static_cast<std::size_t>(source.run_count()));
    source.for_each_batch(10000, [&](const std::vector<StoredRun>& batch) {
        runs.insert(runs.end(), batch.begin(), batch.end());
    });
    target.add_many(runs);
    return static_cast<std::int64_t>(runs.size());
}

}  // namespace vornmark::server
