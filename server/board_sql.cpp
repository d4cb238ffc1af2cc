#include "server/board_sql.h"

namespace vornmark::server {

namespace {

// The n-th parameter; the address units and the row limit as integers, which PostgreSQL needs said.
std::string parameter(SqlPlaceholders style, int n, bool integer = false) {
    if (style == SqlPlaceholders::sqlite) return "?" + std::to_string(n);
    return "$" + std::to_string(n) + (integer ? "::bigint" : "");
}

// A row is listed when it has runs, enough address units and is not hidden.
std::string where_listed(SqlPlaceholders style) {
    return " WHERE t.type = " + parameter(style, 1) + " AND t.runs > 0 AND t.units >= " + parameter(style, 2, true) +
           " AND NOT EXISTS (SELECT 1 FROM hidden_rows h WHERE h.cpu_key = t.cpu_key)";
}

// A plain pointer, not a std::string: the stores build their statements during static initialisation.
const char* const rows = "SELECT t.cpu_name, t.avg_score, t.runs, t.cpu_key FROM standings_totals t";

}  // namespace

std::string standings_sql(SqlPlaceholders style) {
    return std::string(rows) + where_listed(style) + " ORDER BY t.avg_score DESC, t.cpu_name ASC LIMIT " +
           parameter(style, 3, true);
}

std::string processor_row_sql(SqlPlaceholders style) {
    return std::string(rows) + where_listed(style) + " AND t.cpu_key = " + parameter(style, 3);
}

std::string listed_rows_sql(SqlPlaceholders style) {
    return std::string(rows) + where_listed(style);
}

std::string row_with_bins_sql(SqlPlaceholders style) {
    return std::string("SELECT t.cpu_name, t.avg_score, t.runs, t.cpu_key, b.threads, b.bin, b.runs, b.score_sum") +
           " FROM standings_totals t LEFT JOIN row_bins b ON b.type = t.type AND b.cpu_key = t.cpu_key" +
           where_listed(style) + " AND t.cpu_key = " + parameter(style, 3);
}

}  // namespace vornmark::server
