#include "server/standings_totals.h"

#include <algorithm>
#include <map>
#include <utility>

#include "server/cpu_name.h"

std::vector<KeyedTotals> merge_look_alikes(std::vector<NameTotals> names) {
    std::sort(names.begin(), names.end(),
              [](const NameTotals& a, const NameTotals& b) { return a.first_run < b.first_run; });
    std::vector<KeyedTotals> rows;
    std::map<std::pair<std::string, std::string>, std::size_t> row_of;
    for (const NameTotals& name : names) {
        std::string canonical = canonical_cpu_name(name.cpu_name);
        std::string key = cpu_name_key(canonical);
        auto [at, added] = row_of.emplace(std::pair(name.type, key), rows.size());
        if (added) rows.push_back({name.type, std::move(key), std::move(canonical), 0, 0});
        rows[at->second].score_sum += name.score_sum;
        rows[at->second].runs += name.runs;
    }
    return rows;
}
