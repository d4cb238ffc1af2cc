#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

class Store;

// The JSON replies of the two standings, each kept for about a second: under load the
// store is asked at most once a second per type and process, and a submission shows
// at once in the process that stored it (other processes see it within the second).
class StandingsCache {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto lifetime = std::chrono::seconds(1);

    explicit StandingsCache(Store& store) : store_(store) {}

    // The reply body for "single" or "multi"; reads the store when the kept one is
    // older than `lifetime`. Throws StoreError as the store does.
    std::shared_ptr<const std::string> reply_for(std::string_view type, Clock::time_point now = Clock::now());

    // Drops the kept reply of the type, after this process stored a run of it.
    void forget(std::string_view type);

private:
    struct Entry {
        std::mutex refresh;  // one refresh at a time; the others wait for its result
        std::mutex value_mutex;
        std::shared_ptr<const std::string> body;
        Clock::time_point read_at{};
        bool valid = false;
        unsigned generation = 0;  // counts forget(), so a read begun before it is not kept
    };
    Entry& entry_for(std::string_view type) { return type == "single" ? single_ : multi_; }

    Store& store_;
    Entry single_;
    Entry multi_;
};

// {"leaderboard":[{"cpu":...,"avg_score":...,"runs":...},...]} of the store's rows.
std::string standings_json(Store& store, std::string_view type);
