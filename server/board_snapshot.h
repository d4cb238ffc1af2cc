#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server/score_bins.h"
#include "server/store.h"

namespace vornmark::server {

class StoreWorkers;
class Timer;

// What a where-you-stand answer needs of the whole board, read in the background rather than per
// request: every listed row's place (read again every `places_period`), and the runs of every listed
// row of a type summed per score bin, for the share of all runs a score beats (read again every
// `spread_period`, so at most about a minute old; built from the rows' distributions, never in a
// submission's transaction). Reads run on the store's workers, one read at a time. Safe to call
// from several threads; store, workers and timer must outlive it. Held by a shared pointer: the
// background reads keep it while they run, and stop() ends them.
class BoardSnapshot : public std::enable_shared_from_this<BoardSnapshot> {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto places_period = std::chrono::seconds(1);
    static constexpr auto spread_period = std::chrono::seconds(30);
    // Rows whose distributions one store call reads, so that submissions get their turn between.
    static constexpr std::size_t rows_per_read = 500;

    BoardSnapshot(Store& store, StoreWorkers& workers, Timer& timer)
        : store_(store), workers_(workers), timer_(timer) {}

    // Reads everything now on the caller's thread (at start-up), then keeps it fresh in the
    // background until stop(). Throws StoreError as the store does.
    void fill();
    void start();
    void stop();

    struct Place {
        std::optional<int> rank;  // 1-based among the listed rows; none for a row not listed
        std::int64_t rows = 0;    // rows listed
    };
    // The place of `row` (as read just now; nothing when it is not listed) among the listed rows
    // of the type, the others as last read.
    Place place_of(std::string_view type, const std::optional<StandingsRow>& row) const;

    // The percent of every counted run of the type with a lower score (ties half); nothing before
    // the first read or without runs.
    std::optional<double> faster_than_all(std::string_view type, std::int64_t score) const;

    // Reads the places (and, when due, the spread) of both types now; for tests and start-up.
    void refresh(bool with_spread);

private:
    struct Listed {
        std::int64_t avg_score;
        std::string cpu;
        std::string cpu_key;
    };
    struct Places {
        std::vector<Listed> sorted;                           // best first, as the standings
        std::unordered_map<std::string, std::size_t> by_key;  // index into sorted
    };
    struct Type {
        std::shared_ptr<const Places> places;
        std::shared_ptr<const std::vector<ScoreBin>> spread;
    };

    Type& type_for(std::string_view type) { return type == "single" ? single_ : multi_; }
    const Type& type_for(std::string_view type) const { return type == "single" ? single_ : multi_; }
    void read_type(std::string_view type, bool with_spread);
    void schedule(Clock::time_point when);

    Store& store_;
    StoreWorkers& workers_;
    Timer& timer_;
    mutable std::mutex mutex_;  // guards the pointers of single_ and multi_
    Type single_;
    Type multi_;
    std::atomic<bool> reading_{false};
    std::atomic<bool> stopped_{false};
    Clock::time_point spread_read_at_{};
};

}  // namespace vornmark::server
