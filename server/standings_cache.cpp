#include "server/standings_cache.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include <nlohmann/json.hpp>

#include "server/store.h"

namespace {

std::int64_t clamp_to_int32(std::int64_t value) {
    return std::min<std::int64_t>(value, std::numeric_limits<std::int32_t>::max());
}

}  // namespace

std::string standings_json(Store& store, std::string_view type) {
    nlohmann::json rows = nlohmann::json::array();
    for (const StandingsRow& row : store.standings(type)) {
        rows.push_back({{"cpu", row.cpu},
                        {"avg_score", clamp_to_int32(row.avg_score)},
                        {"runs", clamp_to_int32(row.runs)}});
    }
    // Names in the store are checked UTF-8; "replace" only guards a hand-edited database.
    return nlohmann::json{{"leaderboard", std::move(rows)}}.dump(-1, ' ', false,
                                                                 nlohmann::json::error_handler_t::replace);
}

std::shared_ptr<const std::string> StandingsCache::reply_for(std::string_view type, Clock::time_point now) {
    Entry& entry = entry_for(type);
    auto fresh = [&]() -> std::shared_ptr<const std::string> {
        std::lock_guard lock(entry.value_mutex);
        if (entry.valid && now - entry.read_at < lifetime) return entry.body;
        return nullptr;
    };
    if (auto body = fresh()) return body;

    std::lock_guard refreshing(entry.refresh);
    if (auto body = fresh()) return body;  // another thread refreshed it meanwhile
    // The time was taken before the read, so a run stored during it is never hidden
    // for longer than the lifetime.
    Clock::time_point read_at = now;
    unsigned generation = 0;
    {
        std::lock_guard lock(entry.value_mutex);
        generation = entry.generation;
    }
    auto body = std::make_shared<const std::string>(standings_json(store_, type));
    std::lock_guard lock(entry.value_mutex);
    if (generation == entry.generation) {
        entry.body = body;
        entry.read_at = read_at;
        entry.valid = true;
    }
    return body;
}

void StandingsCache::forget(std::string_view type) {
    Entry& entry = entry_for(type);
    std::lock_guard lock(entry.value_mutex);
    entry.valid = false;
    ++entry.generation;
}
