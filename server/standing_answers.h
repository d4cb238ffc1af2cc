#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "server/api.h"
#include "server/kept_answers.h"
#include "server/rate_limiter.h"
#include "server/standing_request.h"

namespace vornmark::server {

class BoardSnapshot;
class Store;
class StoreWorkers;
class Timer;

// The where-you-stand request on "/api.php" (GET with cpu, and score when given): checked,
// limited per address unit (its own limit, apart from submissions'), and answered from one
// processor's figures kept per type and processor: until the row changes while change notices are
// trusted, for about a second otherwise (see KeptAnswers). The place among the other rows is taken
// from the board at each answer. Safe to call from several threads; store, workers, timer and
// board must outlive it.
class StandingAnswers {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto lifetime = std::chrono::seconds(1);
    static constexpr auto patience = std::chrono::seconds(2);
    // Processors kept at once (a few kilobytes each); beyond it some are dropped.
    static constexpr std::size_t max_kept = 100000;

    StandingAnswers(Store& store, StoreWorkers& workers, Timer& timer, const BoardSnapshot& board,
                    int per_minute)
        : store_(store), workers_(workers), timer_(timer), board_(board), limiter_(per_minute) {}

    // As Api::handle. `unit` is the client's address unit (the key of its limit).
    std::optional<ApiReply> handle(const ApiRequest& request, const std::string& unit, Respond respond);

    // A run of the processor was stored here: its next answer reads it afresh.
    void forget(std::string_view type, std::string_view cpu_key);
    // Any row may have changed: every next answer reads afresh.
    void forget_all();
    // As KeptAnswers::trust_notices.
    void trust_notices(bool trusted);
    // Answers given so far, and those of them given from memory without reading the store.
    std::uint64_t answered() const { return answered_.load(std::memory_order_relaxed); }
    std::uint64_t answered_from_memory() const { return answered_from_memory_.load(std::memory_order_relaxed); }

private:
    struct Pending;
    ApiReply reply_for(const ProcessorStanding& standing, const StandingParameters& parameters) const;

    Store& store_;
    StoreWorkers& workers_;
    Timer& timer_;
    const BoardSnapshot& board_;
    RateLimiter limiter_;
    KeptAnswers<ProcessorStanding> kept_{lifetime, max_kept};  // by type and cpu_name_key
    std::atomic<std::uint64_t> answered_{0};
    std::atomic<std::uint64_t> answered_from_memory_{0};
};

// One processor's figures: its listed row, its distribution and its place. The where-you-stand
// request and the processor's web page both read them this way. Throws StoreError as the store does.
ProcessorStanding read_processor_standing(Store& store, const BoardSnapshot& board, std::string_view type,
                                          std::string_view cpu_key, Deadline deadline);

}  // namespace vornmark::server
