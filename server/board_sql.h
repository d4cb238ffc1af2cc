#pragma once

#include <string>

namespace vornmark::server {

// The statements that read the standings' rows, written once for both stores. They differ only
// in how a parameter is written: "?1" for SQLite, "$1" for PostgreSQL (with a cast where its
// type would not be inferred).
enum class SqlPlaceholders { sqlite, postgres };

// Parameters: 1 the run type, 2 the address units a row needs to be listed, 3 the most rows.
// Columns: cpu_name, avg_score, runs, cpu_key; best first, equal averages by the names' byte order.
std::string standings_sql(SqlPlaceholders style);
// Parameters: 1 the run type, 2 the address units, 3 the row's cpu_key. Columns as above.
std::string processor_row_sql(SqlPlaceholders style);
// Parameters: 1 the run type, 2 the address units. Columns as above, in no particular order.
std::string listed_rows_sql(SqlPlaceholders style);
// The listed row and its bins in one read, one line per bin (one line of nulls without bins).
// Parameters as processor_row_sql. Columns: as above, then threads, bin, runs, score_sum.
std::string row_with_bins_sql(SqlPlaceholders style);

}  // namespace vornmark::server
