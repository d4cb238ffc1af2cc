#include "server/page_data.h"

namespace {

// The distribution of one row. The store keeps none per row yet, so every row's is empty and the
// pages leave the spread out. This is the one place to fill it once the store keeps a distribution
// per row (bounded per row, whatever the number of runs): p10, median and p90 of the counted runs,
// and the same bins as the where-you-stand request.
RowDistribution row_distribution(Store&, std::string_view /*type*/, const StandingsRow&, Deadline) {
    return {};
}

}  // namespace

std::vector<PageRow> read_page_rows(Store& store, std::string_view type, Deadline deadline) {
    std::vector<PageRow> rows;
    for (StandingsRow& row : store.standings(type, deadline)) {
        RowDistribution distribution = row_distribution(store, type, row, deadline);
        rows.push_back({std::move(row), std::move(distribution)});
    }
    return rows;
}

std::optional<PageRow> read_processor_row(Store& store, std::string_view type, std::string_view cpu_key,
                                          Deadline deadline) {
    std::optional<StandingsRow> row = store.processor_row(type, cpu_key, deadline);
    if (!row) return std::nullopt;
    RowDistribution distribution = row_distribution(store, type, *row, deadline);
    return PageRow{std::move(*row), std::move(distribution)};
}
