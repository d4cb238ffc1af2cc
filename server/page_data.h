#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/store.h"

// The spread of one processor's counted scores, as the pages draw it: the range from the 10th to
// the 90th percentile with the median (the bar beside a standings row), and a histogram (the
// processor's page). Empty while the store keeps no distribution per row; the pages then leave
// the spread out rather than draw one they do not have.
struct RowDistribution {
    double p10 = 0;
    double median = 0;
    double p90 = 0;
    std::vector<double> edges;         // bin i covers [edges[i], edges[i + 1]); one more than counts
    std::vector<std::int64_t> counts;  // runs per bin

    bool empty() const { return counts.empty() || edges.size() != counts.size() + 1; }
};

// A standings row as the pages show it.
struct PageRow {
    StandingsRow row;
    RowDistribution distribution;
};

// One processor's page: its row in a run type, and where it stands among the listed rows.
struct ProcessorData {
    PageRow row;
    std::optional<int> rank;  // 1-based place among the rows listed on the standings page, if there
};

// The rows of a run type's standings with their distributions: what the standings cache keeps and
// both the JSON standings and the pages are made from. Throws StoreError as the store does.
std::vector<PageRow> read_page_rows(Store& store, std::string_view type, Deadline deadline);

// One processor's row by its key (cpu_name_key), or nothing when the type has no such row.
// Throws StoreError as the store does.
std::optional<PageRow> read_processor_row(Store& store, std::string_view type, std::string_view cpu_key,
                                          Deadline deadline);
