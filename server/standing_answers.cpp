#include "server/standing_answers.h"

#include <atomic>

#include "server/board_snapshot.h"
#include "server/log.h"
#include "server/store.h"
#include "server/store_workers.h"
#include "server/timer.h"

namespace vornmark::server {

namespace {

ApiReply unavailable() {
    ApiReply reply = error_reply(503, reason_for(503));
    reply.retry_after = std::to_string(store_call_timeout.count());
    return reply;
}

}  // namespace

ProcessorStanding read_processor_standing(Store& store, const BoardSnapshot& board, std::string_view type,
                                          std::string_view cpu_key, Deadline deadline) {
    ProcessorStanding standing;
    // One read: the row, listed, and its bins.
    if (std::optional<Store::RowWithDistribution> read =
            store.listed_row_with_distribution(type, cpu_key, deadline)) {
        standing.row = std::move(read->row);
        standing.bins = score_bins_of(read->distribution);
        standing.spread = shown_spread(read->distribution);
    }
    const BoardSnapshot::Place place = board.place_of(type, standing.row);
    standing.rank = place.rank;
    standing.rows = place.rows;
    return standing;
}

// A request from the moment it is set aside until the worker or the timer answers it.
struct StandingAnswers::Pending {
    std::atomic<bool> answered{false};
    Respond respond;
    Timer::Task give_up;
    bool claim() { return !answered.exchange(true); }
};

std::optional<ApiReply> StandingAnswers::handle(const ApiRequest& request, const std::string& unit,
                                                Respond respond) {
    const StandingCheck check = check_standing_query(request.type, request.cpu, request.score);
    if (!check.ok()) return error_reply(400, check.error);
    if (!limiter_.allow(unit)) {
        ApiReply reply = error_reply(429, "too many requests from this address; try again in a minute");
        reply.retry_after = "60";
        return reply;
    }
    const StandingParameters& parameters = check.parameters;
    const std::string key = kept_key_of(parameters.type, parameters.cpu_key);
    const Clock::time_point now = Clock::now();
    answered_.fetch_add(1, std::memory_order_relaxed);
    if (const auto found = kept_.find(key, now)) {
        answered_from_memory_.fetch_add(1, std::memory_order_relaxed);
        return reply_for(*found->value, parameters);
    }

    auto pending = std::make_shared<Pending>();
    pending->respond = std::move(respond);
    const Deadline deadline = now + patience;
    pending->give_up = timer_.at(deadline, [pending] {
        if (pending->claim()) pending->respond(unavailable());
    });
    workers_.post({[this, pending, parameters, key, deadline] {
                       if (pending->answered) return;
                       std::shared_ptr<const ProcessorStanding> standing;
                       try {
                           const auto ticket = kept_.ticket();
                           standing = std::make_shared<const ProcessorStanding>(read_processor_standing(
                               store_, board_, parameters.type, parameters.cpu_key, deadline));
                           kept_.keep(key, standing, Clock::now(), ticket);
                       } catch (const StoreError& e) {
                           log_line(std::string("store: where a score stands: ") + e.what());
                       }
                       if (!pending->claim()) return;
                       timer_.cancel(pending->give_up);
                       pending->respond(standing ? reply_for(*standing, parameters) : unavailable());
                   },
                   [pending] {
                       if (pending->claim()) pending->respond(unavailable());
                   }});
    return std::nullopt;
}

void StandingAnswers::forget(std::string_view type, std::string_view cpu_key) {
    kept_.forget(kept_key_of(type, cpu_key));
}

void StandingAnswers::forget_all() {
    kept_.forget_all();
}

void StandingAnswers::trust_notices(bool trusted) {
    kept_.trust_notices(trusted);
}

ApiReply StandingAnswers::reply_for(const ProcessorStanding& standing,
                                    const StandingParameters& parameters) const {
    std::optional<double> all;
    if (parameters.score) all = board_.faster_than_all(parameters.type, *parameters.score);
    ApiReply reply;
    // The row is kept until it changes; its place among the others is taken as it is now.
    const BoardSnapshot::Place place = board_.place_of(parameters.type, standing.row);
    if (place.rank == standing.rank && place.rows == standing.rows) {
        reply.body = standing_reply_json(standing, parameters.cpu, parameters.score, all);
    } else {
        ProcessorStanding placed = standing;
        placed.rank = place.rank;
        placed.rows = place.rows;
        reply.body = standing_reply_json(placed, parameters.cpu, parameters.score, all);
    }
    return reply;
}

}  // namespace vornmark::server
