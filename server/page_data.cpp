#include "server/page_data.h"

#include "server/standing_request.h"

namespace vornmark::server {

std::vector<PageRow> read_page_rows(Store& store, std::string_view type, Deadline deadline) {
    std::vector<StandingsRow> listed = store.standings(type, deadline);
    std::vector<std::string> keys;
    keys.reserve(listed.size());
    for (const StandingsRow& row : listed) keys.push_back(row.cpu_key);
    // The distributions of the listed rows in one read, a bounded amount per row.
    std::vector<RowDistribution> distributions = store.distributions(type, keys, deadline);
    std::vector<PageRow> rows;
    rows.reserve(listed.size());
    for (std::size_t i = 0; i < listed.size(); ++i) {
        RowDistribution spread =
            i < distributions.size() ? shown_spread(distributions[i]) : RowDistribution{};
        rows.push_back({std::move(listed[i]), std::move(spread)});
    }
    return rows;
}

}  // namespace vornmark::server
