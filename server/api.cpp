#include "server/api.h"

#include <atomic>
#include <chrono>

#include <nlohmann/json.hpp>

#include "server/address_unit.h"
#include "server/board_snapshot.h"
#include "server/log.h"
#include "server/pages.h"
#include "server/standing_answers.h"
#include "server/store.h"
#include "server/store_workers.h"
#include "server/submission.h"
#include "server/timer.h"

namespace vornmark::server {

namespace {

constexpr std::string_view api_path = "/api.php";

// The store did not answer in time: nothing was stored, and the client may try again.
ApiReply unavailable_reply() {
    ApiReply reply = error_reply(503, reason_for(503));
    reply.retry_after = std::to_string(store_call_timeout.count());
    return reply;
}

ApiReply standings_reply(const Standings& standings) {
    if (!standings.body) return unavailable_reply();
    ApiReply reply;
    reply.body = *standings.body;
    const auto age = std::chrono::steady_clock::now() - standings.read_at;
    reply.age = std::to_string(std::chrono::duration_cast<std::chrono::seconds>(age).count());
    return reply;
}

}  // namespace

ApiReply error_reply(int status, const std::string& message) {
    ApiReply reply;
    reply.status = status;
    reply.body =
        nlohmann::json{{"error", message}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return reply;
}

const char* reason_for(int status) {
    switch (status) {
    case 400:
        return "bad request";
    case 404:
        return "not found";
    case 405:
        return "method not allowed";
    case 408:
        return "request timed out";
    case 413:
        return "request body larger than 4096 bytes";
    case 414:
        return "request target too long";
    case 429:
        return "too many submissions";
    case 431:
        return "request headers larger than 16384 bytes";
    case 501:
        return "not implemented";
    case 503:
        return "the leaderboard's database is not answering; try again shortly";
    default:
        return status >= 500 ? "internal server error" : "request refused";
    }
}

// A submission from the moment its body is read until it is answered, shared by the
// worker that stores it and the timer that gives up on it while it waits in the queue.
struct Api::PendingSubmission {
    enum State { queued, started, given_up };
    std::atomic<int> state{queued};
    SubmissionCheck check;
    std::string address;
    Deadline deadline;
    Respond respond;
    Timer::Task give_up;  // the deadline's task, cancelled when a worker starts

    // Only the first of the worker, the timer and a stop gets to answer.
    bool claim(State to) {
        int expected = queued;
        return state.compare_exchange_strong(expected, to);
    }
};

Api::Api(Store& store, StoreWorkers& workers, Timer& timer, const AddressKey& key, int standing_per_minute)
    : store_(store), key_(key), workers_(workers), timer_(timer), standings_(store, workers, timer),
      board_(std::make_shared<BoardSnapshot>(store, workers, timer)),
      standing_answers_(
          std::make_unique<StandingAnswers>(store, workers, timer, *board_, standing_per_minute)),
      pages_(std::make_unique<Pages>(store, workers, timer, standings_, *board_)) {
    board_->start();
}

Api::~Api() {
    board_->stop();
}

void Api::row_changed(std::string_view type, std::string_view cpu_key) {
    standing_answers_->forget(type, cpu_key);
    pages_->forget(type, cpu_key);
}

void Api::all_rows_changed() {
    standing_answers_->forget_all();
    pages_->forget_all();
}

void Api::notices_trusted(bool trusted) {
    standing_answers_->trust_notices(trusted);
    pages_->trust_notices(trusted);
}

std::string Api::answered_from_memory() const {
    const auto share = [](std::uint64_t part, std::uint64_t all) {
        return std::to_string(all == 0 ? 0 : (part * 100 + all / 2) / all) + " %";
    };
    return "where-you-stand answers " + std::to_string(standing_answers_->answered()) + " (" +
           share(standing_answers_->answered_from_memory(), standing_answers_->answered()) +
           " from memory), processor pages " + std::to_string(pages_->processor_pages()) + " (" +
           share(pages_->processor_pages_from_memory(), pages_->processor_pages()) + " from memory)";
}

void Api::fill_standings() {
    standings_.fill();
    board_->fill();
}

std::optional<ApiReply> Api::handle(const ApiRequest& request, Respond respond) {
    if (request.path != api_path) return pages_->handle(request, std::move(respond));
    if ((request.method == "GET" || request.method == "HEAD") && (request.cpu || request.score)) {
        const std::string unit = address_unit(request.remote_address).value_or(request.remote_address);
        return standing_answers_->handle(request, unit, std::move(respond));
    }
    if (request.method == "GET" || request.method == "HEAD")
        return get_standings(request, std::move(respond));
    if (request.method == "POST") return post_submission(request, std::move(respond));
    ApiReply reply = error_reply(405, reason_for(405));
    reply.allow = "GET, HEAD, POST";
    return reply;
}

std::optional<ApiReply> Api::get_standings(const ApiRequest& request, Respond respond) {
    if (request.type != "single" && request.type != "multi") {
        return error_reply(400, "type must be \"single\" or \"multi\"");
    }
    // Most requests find the kept reply fresh: no callback is made for them.
    if (std::optional<Standings> fresh = standings_.fresh(*request.type)) return standings_reply(*fresh);
    std::optional<Standings> now = standings_.get(
        *request.type, [respond = std::move(respond)](Standings later) { respond(standings_reply(later)); });
    if (!now) return std::nullopt;
    return standings_reply(*now);
}

std::optional<ApiReply> Api::post_submission(const ApiRequest& request, Respond respond) {
    if (request.body.size() > max_body_bytes) return error_reply(413, reason_for(413));
    auto pending = std::make_shared<PendingSubmission>();
    // Checked here: reading JSON needs no store. The reply waits for the rate limit.
    pending->check = parse_submission(request.body);
    pending->address = key_.unit_of(request.remote_address);
    pending->deadline = store_call_deadline();
    pending->respond = std::move(respond);

    // The deadline is set before the job is queued, so that the worker finds it to cancel.
    pending->give_up = timer_.at(pending->deadline, [pending] {
        if (pending->claim(PendingSubmission::given_up)) pending->respond(unavailable_reply());
    });
    workers_.post({[this, pending] {
                       if (!pending->claim(PendingSubmission::started)) return;
                       timer_.cancel(pending->give_up);
                       pending->respond(store_submission(*pending));
                   },
                   [pending] {
                       if (pending->claim(PendingSubmission::given_up)) pending->respond(unavailable_reply());
                   }});
    return std::nullopt;
}

ApiReply Api::store_submission(PendingSubmission& pending) {
    try {
        if (!store_.allow_submission(pending.address, pending.deadline)) {
            ApiReply reply =
                error_reply(429, "too many submissions from this address; try again in a minute");
            reply.retry_after = "60";
            return reply;
        }
        if (!pending.check.ok()) {
            ApiReply reply;
            reply.body = nlohmann::json{{"ok", false}, {"error", pending.check.error}}.dump(
                -1, ' ', false, nlohmann::json::error_handler_t::replace);
            return reply;
        }
        const SubmitOutcome outcome =
            store_.submit(pending.check.submission, pending.address, pending.deadline);
        ApiReply reply;
        if (outcome.kind == SubmitOutcome::Kind::refused) {
            reply.body = nlohmann::json{{"ok", false}, {"error", outcome.why}}.dump();
            return reply;
        }
        standings_.forget(pending.check.submission.type);
        // Its own next answers read the row at once; other processes hear of it by a notice.
        row_changed(pending.check.submission.type, outcome.cpu_key);
        if (publisher_) publisher_->publish(pending.check.submission.type, outcome.cpu_key);
        // Stored; one that does not count says so beside "ok", which is all the client reads.
        reply.body =
            outcome.kind == SubmitOutcome::Kind::counted
                ? R"({"ok":true})"
                : nlohmann::ordered_json{{"ok", true}, {"counted", false}, {"why", outcome.why}}.dump();
        return reply;
    } catch (const StoreOutcomeUnknown& e) {
        log_line(std::string("store: whether a run was stored is not known: ") + e.what());
        ApiReply reply;
        reply.close_without_reply = true;
        return reply;
    } catch (const StoreUnavailable& e) {
        log_line(std::string("store unavailable: ") + e.what());
        return unavailable_reply();
    } catch (const StoreError& e) {
        log_line(std::string("store error: ") + e.what());
        return error_reply(500, "storage error");
    }
}

}  // namespace vornmark::server
