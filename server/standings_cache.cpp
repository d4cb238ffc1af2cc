#include "server/standings_cache.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <limits>

#include <nlohmann/json.hpp>

#include "server/store_workers.h"
#include "server/timer.h"

namespace vornmark::server {

namespace {

std::int64_t clamp_to_int32(std::int64_t value) {
    return std::min<std::int64_t>(value, std::numeric_limits<std::int32_t>::max());
}

// The standings of a type as read now; the time is taken before the read, so a run stored during
// it is never hidden for longer than the lifetime.
Standings read_standings(Store& store, std::string_view type) {
    const StandingsCache::Clock::time_point started = StandingsCache::Clock::now();
    auto rows =
        std::make_shared<const std::vector<PageRow>>(read_page_rows(store, type, store_call_deadline()));
    return {std::make_shared<const std::string>(standings_json(*rows)), std::move(rows), started};
}

}  // namespace

std::string standings_json(const std::vector<PageRow>& rows) {
    nlohmann::json list = nlohmann::json::array();
    for (const PageRow& page_row : rows) {
        const StandingsRow& row = page_row.row;
        list.push_back({{"cpu", row.cpu},
                        {"avg_score", clamp_to_int32(row.avg_score)},
                        {"runs", clamp_to_int32(row.runs)}});
    }
    // Names in the store are checked UTF-8; "replace" only guards a hand-edited database.
    return nlohmann::json{{"leaderboard", std::move(list)}}.dump(-1, ' ', false,
                                                                 nlohmann::json::error_handler_t::replace);
}

struct StandingsCache::Waiter {
    std::atomic<bool> answered{false};
    unsigned generation = 0;  // a read from this generation on answers it
    std::function<void(Standings)> answer;

    void answer_once(const Standings& standings) {
        if (!answered.exchange(true)) answer(standings);
    }
};

void StandingsCache::fill() {
    for (Entry* entry : {&single_, &multi_}) {
        Standings read = read_standings(store_, entry->type);
        {
            std::lock_guard lock(entry->mutex);
            entry->last_good = read;
            entry->last_good_generation = entry->generation;
        }
        std::lock_guard lock(hook_mutex_);
        if (hook_) hook_(entry->type, read);
    }
}

bool StandingsCache::is_fresh(const Entry& entry, Clock::time_point now) {
    return entry.last_good.body && entry.last_good_generation == entry.generation &&
           now - entry.last_good.read_at < lifetime;
}

void StandingsCache::read_ahead_if_due(Entry& entry, Clock::time_point now) {
    if (!entry.reading && now - entry.last_good.read_at >= read_ahead &&
        now - entry.last_failure >= patience) {
        start_read(entry, now);
    }
}

std::optional<Standings> StandingsCache::fresh(std::string_view type, Clock::time_point now) {
    Entry& entry = entry_for(type);
    std::lock_guard lock(entry.mutex);
    if (!is_fresh(entry, now)) return std::nullopt;
    read_ahead_if_due(entry, now);
    return entry.last_good;
}

std::optional<Standings> StandingsCache::get(std::string_view type, std::function<void(Standings)> later,
                                             Clock::time_point now) {
    Entry& entry = entry_for(type);
    std::lock_guard lock(entry.mutex);
    if (is_fresh(entry, now)) {
        read_ahead_if_due(entry, now);
        return entry.last_good;
    }
    // After a failed read the store is given a moment before the next one is tried.
    if (!entry.reading && now - entry.last_failure >= patience) start_read(entry, now);
    if (!entry.reading || now - entry.read_started >= patience) return entry.last_good;

    auto waiter = std::make_shared<Waiter>();
    waiter->generation = entry.generation;
    waiter->answer = std::move(later);
    entry.waiters.push_back(waiter);
    timer_.at(entry.read_started + patience, [&entry, waiter] {
        Standings last_good;
        {
            std::lock_guard lock(entry.mutex);
            last_good = entry.last_good;
        }
        waiter->answer_once(last_good);
    });
    return std::nullopt;
}

void StandingsCache::forget(std::string_view type) {
    Entry& entry = entry_for(type);
    std::lock_guard lock(entry.mutex);
    ++entry.generation;
}

Standings StandingsCache::last_good(std::string_view type) {
    Entry& entry = entry_for(type);
    std::lock_guard lock(entry.mutex);
    return entry.last_good;
}

void StandingsCache::set_read_hook(ReadHook hook) {
    std::lock_guard lock(hook_mutex_);
    hook_ = std::move(hook);
}

void StandingsCache::start_read(Entry& entry, Clock::time_point now) {
    entry.reading = true;
    entry.read_started = now;
    // Before the submissions waiting for the store: a read answers many requests.
    workers_.post({[this, &entry] { read(entry); }, [this, &entry] { read_failed(entry); }}, /*urgent=*/true);
}

void StandingsCache::read(Entry& entry) {
    unsigned generation = 0;
    {
        std::lock_guard lock(entry.mutex);
        generation = entry.generation;
    }
    Standings read;
    try {
        read = read_standings(store_, entry.type);
    } catch (const StoreError&) {
        read_failed(entry);
        return;
    }
    {
        std::lock_guard lock(hook_mutex_);
        if (hook_) hook_(entry.type, read);
    }
    std::vector<std::shared_ptr<Waiter>> answered;
    {
        std::lock_guard lock(entry.mutex);
        if (generation >= entry.last_good_generation) {
            entry.last_good = read;
            entry.last_good_generation = generation;
        }
        entry.reading = false;
        // Requests that came after a run was stored here need a read begun after it.
        std::vector<std::shared_ptr<Waiter>> still_waiting;
        for (auto& waiter : entry.waiters) {
            (waiter->generation <= generation ? answered : still_waiting).push_back(std::move(waiter));
        }
        entry.waiters = std::move(still_waiting);
        if (!entry.waiters.empty()) start_read(entry, Clock::now());
    }
    for (auto& waiter : answered) waiter->answer_once(read);
}

void StandingsCache::read_failed(Entry& entry) {
    std::vector<std::shared_ptr<Waiter>> waiting;
    Standings last_good;
    {
        std::lock_guard lock(entry.mutex);
        entry.reading = false;
        entry.last_failure = Clock::now();
        waiting.swap(entry.waiters);
        last_good = entry.last_good;
    }
    for (auto& waiter : waiting) waiter->answer_once(last_good);
}

}  // namespace vornmark::server
