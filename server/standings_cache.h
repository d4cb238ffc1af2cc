#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/page_data.h"
#include "server/store.h"

namespace vornmark::server {

class StoreWorkers;
class Timer;

// A standings reply, the rows it was made from (for the web pages) and when they were read from
// the store. No body and no rows when the store has never answered.
struct Standings {
    std::shared_ptr<const std::string> body;
    std::shared_ptr<const std::vector<PageRow>> rows;
    std::chrono::steady_clock::time_point read_at{};
};

// The JSON replies of the two standings. A reply is kept for about a second: under load
// the store is read at most once a second per type and process, and a run stored by
// this process shows in its next reply (other processes show it within the second).
// Reads happen on the store's workers. A request in the last part of a reply's lifetime
// starts the next read without waiting for it, so that under steady load requests rarely
// find the reply expired; one that does waits for a fresh read at most `patience`; while
// the store is slow or down it gets the last good reply at once.
class StandingsCache {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto lifetime = std::chrono::seconds(1);
    static constexpr auto read_ahead = std::chrono::milliseconds(800);
    static constexpr auto patience = std::chrono::seconds(1);

    StandingsCache(Store& store, StoreWorkers& workers, Timer& timer)
        : store_(store), workers_(workers), timer_(timer) {}

    // Reads both types now, on the caller's thread (at start-up), so that there is a
    // last good reply from the start. Throws StoreError as the store does.
    void fill();

    // The standings of "single" or "multi" when they are fresh; nothing otherwise.
    std::optional<Standings> fresh(std::string_view type, Clock::time_point now = Clock::now());

    // The standings of "single" or "multi": returned at once when they are fresh, or
    // when waiting would not help; otherwise nothing is returned and `later` is called
    // once, from another thread, within `patience`.
    std::optional<Standings> get(std::string_view type, std::function<void(Standings)> later,
                                 Clock::time_point now = Clock::now());

    // Marks the kept reply of the type as old, after this process stored a run of it.
    void forget(std::string_view type);

    // The last good standings of the type, fresh or not; no read is started.
    Standings last_good(std::string_view type);

    // Called with each read of a type (on the worker, before any request gets it; by fill() too):
    // the pages make their HTML there rather than in a request. Empty for none; setting it waits
    // for a call in progress.
    using ReadHook = std::function<void(std::string_view type, const Standings& read)>;
    void set_read_hook(ReadHook hook);

private:
    struct Waiter;
    struct Entry {
        explicit Entry(std::string run_type) : type(std::move(run_type)) {}
        const std::string type;
        std::mutex mutex;
        Standings last_good;
        unsigned last_good_generation = 0;
        unsigned generation = 0;  // counts forget(), so a read begun before it is not fresh
        bool reading = false;
        Clock::time_point read_started{};
        Clock::time_point last_failure{};
        std::vector<std::shared_ptr<Waiter>> waiters;
    };

    Entry& entry_for(std::string_view type) { return type == "single" ? single_ : multi_; }
    static bool is_fresh(const Entry& entry, Clock::time_point now);  // with entry.mutex held
    void read_ahead_if_due(Entry& entry, Clock::time_point now);      // with entry.mutex held
    void start_read(Entry& entry, Clock::time_point now);             // with entry.mutex held
    void read(Entry& entry);
    void read_failed(Entry& entry);

    Store& store_;
    StoreWorkers& workers_;
    Timer& timer_;
    std::mutex hook_mutex_;  // taken before an entry's mutex, never after
    ReadHook hook_;
    Entry single_{"single"};
    Entry multi_{"multi"};
};

// {"leaderboard":[{"cpu":...,"avg_score":...,"runs":...},...]} of the rows.
std::string standings_json(const std::vector<PageRow>& rows);

}  // namespace vornmark::server
