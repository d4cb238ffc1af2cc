#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/row_statistics.h"
#include "server/store.h"

namespace vornmark::server {

// A standings row as the pages show it.
struct PageRow {
    StandingsRow row;
    RowDistribution distribution;
};

// One processor's page: its row in a run type, and where it stands among the listed rows.
struct ProcessorData {
    PageRow row;
    std::optional<int> rank;  // 1-based place among the listed rows, if listed
    std::int64_t rows = 0;    // rows listed
};

// The rows of a run type's standings with their spreads (shown_spread: p10, median, p90 and the
// histogram of the where-you-stand request): what the standings cache keeps and both the JSON
// standings and the pages are made from. Throws StoreError as the store does.
std::vector<PageRow> read_page_rows(Store& store, std::string_view type, Deadline deadline);

}  // namespace vornmark::server
