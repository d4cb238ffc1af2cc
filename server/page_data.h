#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/row_statistics.h"
#include "server/store.h"

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
