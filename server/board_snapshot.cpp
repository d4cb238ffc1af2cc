#include "server/board_snapshot.h"

#include <algorithm>
#include <map>

#include "server/log.h"
#include "server/store_workers.h"
#include "server/timer.h"

namespace vornmark::server {

namespace {

// Best first, equal averages by the byte order of the names: the standings' order.
bool ahead(std::int64_t avg_a, const std::string& cpu_a, std::int64_t avg_b, const std::string& cpu_b) {
    return avg_a != avg_b ? avg_a > avg_b : cpu_a < cpu_b;
}

}  // namespace

void BoardSnapshot::fill() {
    refresh(true);
}

void BoardSnapshot::start() {
    schedule(Clock::now() + places_period);
}

void BoardSnapshot::stop() {
    stopped_ = true;
}

void BoardSnapshot::schedule(Clock::time_point when) {
    if (stopped_) return;
    timer_.at(when, [this, self = shared_from_this()] {
        if (stopped_) return;
        // One read at a time: a slow store skips beats rather than piling them up.
        if (!reading_.exchange(true)) {
            workers_.post({[this, self] {
                               try {
                                   refresh(Clock::now() - spread_read_at_ >= spread_period);
                               } catch (const StoreError& e) {
                                   log_line(std::string("store: reading the board's places: ") + e.what());
                               }
                               reading_ = false;
                           },
                           [this, self] { reading_ = false; }});
        }
        schedule(Clock::now() + places_period);
    });
}

void BoardSnapshot::refresh(bool with_spread) {
    read_type("single", with_spread);
    read_type("multi", with_spread);
    if (with_spread) spread_read_at_ = Clock::now();
}

void BoardSnapshot::read_type(std::string_view type, bool with_spread) {
    std::vector<StandingsRow> rows = store_.listed_rows(type, store_call_deadline());
    auto places = std::make_shared<Places>();
    places->sorted.reserve(rows.size());
    for (StandingsRow& row : rows)
        places->sorted.push_back({row.avg_score, std::move(row.cpu), std::move(row.cpu_key)});
    std::sort(places->sorted.begin(), places->sorted.end(),
              [](const Listed& a, const Listed& b) { return ahead(a.avg_score, a.cpu, b.avg_score, b.cpu); });
    for (std::size_t i = 0; i < places->sorted.size(); ++i)
        places->by_key.emplace(places->sorted[i].cpu_key, i);

    std::shared_ptr<std::vector<ScoreBin>> spread;
    if (with_spread) {
        // Every row's kept runs, summed per score bin (the bins are the same for every row).
        std::map<double, ScoreBin> summed;
        std::vector<std::string> keys;
        auto add = [&] {
            for (const RowDistribution& d : store_.distributions(type, keys, store_call_deadline())) {
                if (d.empty()) continue;
                for (std::size_t i = 0; i < d.counts.size(); ++i) {
                    ScoreBin& bin =
                        summed.try_emplace(d.edges[i], ScoreBin{d.edges[i], d.edges[i + 1], 0}).first->second;
                    bin.count += d.counts[i];
                }
            }
            keys.clear();
        };
        for (const Listed& row : places->sorted) {
            keys.push_back(row.cpu_key);
            if (keys.size() == rows_per_read) add();
        }
        if (!keys.empty()) add();
        spread = std::make_shared<std::vector<ScoreBin>>();
        for (auto& [low, bin] : summed) spread->push_back(bin);
    }

    std::lock_guard lock(mutex_);
    Type& kept = type_for(type);
    kept.places = std::move(places);
    if (spread) kept.spread = std::move(spread);
}

BoardSnapshot::Place BoardSnapshot::place_of(std::string_view type,
                                             const std::optional<StandingsRow>& row) const {
    std::shared_ptr<const Places> places;
    {
        std::lock_guard lock(mutex_);
        places = type_for(type).places;
    }
    Place place;
    const std::size_t listed = places ? places->sorted.size() : 0;
    place.rows = static_cast<std::int64_t>(listed);
    if (!row) return place;
    std::size_t before = 0;
    bool counted_before = false;
    if (places) {
        const auto bound =
            std::partition_point(places->sorted.begin(), places->sorted.end(), [&](const Listed& e) {
                return ahead(e.avg_score, e.cpu, row->avg_score, row->cpu);
            });
        before = static_cast<std::size_t>(bound - places->sorted.begin());
        // The row itself as last read may stand before its place now.
        const auto own = places->by_key.find(row->cpu_key);
        if (own != places->by_key.end() && own->second < before) counted_before = true;
        if (own == places->by_key.end()) ++place.rows;
    } else {
        place.rows = 1;
    }
    place.rank = static_cast<int>(before - (counted_before ? 1 : 0) + 1);
    return place;
}

std::optional<double> BoardSnapshot::faster_than_all(std::string_view type, std::int64_t score) const {
    std::shared_ptr<const std::vector<ScoreBin>> spread;
    {
        std::lock_guard lock(mutex_);
        spread = type_for(type).spread;
    }
    if (!spread) return std::nullopt;
    return faster_than_percent(*spread, score);
}

}  // namespace vornmark::server
