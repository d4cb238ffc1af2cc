#include "net/leaderboard_client.h"

#include "net/exchange_failure.h"
#include "net/printable_text.h"
#include "net/standings.h"

#include <nlohmann/json.hpp>

#include <exception>
#include <optional>
#include <stdexcept>
#include <utility>

namespace vornmark {

namespace {

using json = nlohmann::json;

constexpr const char* api_path = "/api.php";

std::string standings_path(RunKind kind) {
    return std::string(api_path) + "?type=" + std::string(run_kind_text(kind));
}

// Accepted only when the reply is an object whose "ok" is the boolean true.
void check_accepted(const json& reply, const std::string& raw_reply, const HttpEndpoint& endpoint) {
    const std::string rejected = exchange_failure_text("Server rejected: " + raw_reply, {}, endpoint);
    if (!reply.is_object() || !reply.contains("ok")) throw std::runtime_error(rejected);
    // An "ok" that is not a boolean raises the library's own type error.
    if (!reply.at("ok").get<bool>()) throw std::runtime_error(rejected);
}

}  // namespace

LeaderboardClient::LeaderboardClient() : LeaderboardClient(leaderboard_setting()) {}

LeaderboardClient::LeaderboardClient(LeaderboardSetting setting) : setting_(std::move(setting)) {}

LeaderboardClient::LeaderboardClient(HttpEndpoint endpoint)
    : setting_(LeaderboardSetting{std::move(endpoint), "", "", ""}) {}

LeaderboardClient::~LeaderboardClient() {
    abort();
    shutdown();
}

void LeaderboardClient::fetch_processor_standing(RunKind kind, std::string cpu_name) {
    if (!setting_.in_use()) return;
    fetch_standing(StandingFor::Processor, kind, std::move(cpu_name), std::nullopt);
}

void LeaderboardClient::fetch_standing(StandingFor which, RunKind kind, std::string cpu_name,
                                       std::optional<std::int32_t> score) {
    std::uint64_t asked = 0;
    {
        std::lock_guard lock(standing_lock);
        StandingSlot& slot = slot_of(which);
        asked = ++slot.asked;
        slot.outcome = StandingOutcome{StandingOutcome::State::Waiting, kind, cpu_name, score, {}, {}};
    }
    start_task([this, which, asked, kind, cpu_name = std::move(cpu_name), score](
                   const std::stop_token& stop) { standing_task(which, asked, kind, cpu_name, score, stop); },
               false);
}

void LeaderboardClient::fetch_standings(RunKind kind) {
    if (!setting_.in_use()) return;
    start_task([this, kind](const std::stop_token& stop) { fetch_task(kind, stop); });
}

void LeaderboardClient::submit_result(std::string cpu_name, RunKind kind, std::int32_t score,
                                      std::int32_t threads) {
    if (!setting_.in_use()) return;
    start_task([this, cpu_name = std::move(cpu_name), kind, score, threads](const std::stop_token& stop) {
        submit_task(cpu_name, kind, score, threads, stop);
    });
}

template <typename Task>
void LeaderboardClient::start_task(Task task, bool counted) {
    std::lock_guard lock(tasks_lock);

    // Collect the requests that have ended, keeping the order of the rest.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        if (task_finished[i]->load()) {
            tasks[i].join();
            continue;
        }
        if (kept != i) {
            tasks[kept] = std::move(tasks[i]);
            task_finished[kept] = std::move(task_finished[i]);
        }
        ++kept;
    }
    tasks.resize(kept);
    task_finished.resize(kept);

    task_finished.push_back(std::make_unique<std::atomic<bool>>(false));
    std::atomic<bool>* finished = task_finished.back().get();
    // Counted before the thread exists, so "Loading..." shows from the very frame that started it.
    std::atomic<std::int32_t>& in_flight = counted ? pending_requests : standing_requests;
    in_flight.fetch_add(1);
    try {
        // The tasks turn every failure into a status text, so both steps below always run. The flag
        // is set first: once the count reads 0, every thread can be collected.
        tasks.emplace_back([task = std::move(task), finished, &in_flight](std::stop_token stop) {
            task(stop);
            finished->store(true);
            in_flight.fetch_sub(1);
        });
    } catch (...) {
        in_flight.fetch_sub(1);
        task_finished.pop_back();
        throw;
    }
    if (aborted) tasks.back().request_stop();
}

void LeaderboardClient::shutdown() {
    // Joined outside the lock: a submission that was accepted starts its standing request, which
    // the next round joins.
    for (;;) {
        std::vector<std::jthread> joining;
        std::vector<std::unique_ptr<std::atomic<bool>>> flags;  // each thread sets its own at the end
        {
            std::lock_guard lock(tasks_lock);
            if (tasks.empty()) return;
            joining = std::move(tasks);
            flags = std::move(task_finished);
            tasks.clear();
            task_finished.clear();
        }
        for (std::jthread& task : joining)
            if (task.joinable()) task.join();
    }
}

void LeaderboardClient::abort() {
    std::lock_guard lock(tasks_lock);
    aborted = true;
    for (std::jthread& task : tasks) task.request_stop();
}

const HttpEndpoint& LeaderboardClient::endpoint() const {
    return setting_.endpoint;
}

std::vector<LeaderboardEntry> LeaderboardClient::download_standings(RunKind kind,
                                                                    const std::stop_token& stop) const {
    return standings_from_reply(http_get(endpoint(), standings_path(kind), stop));
}

void LeaderboardClient::store_standings(RunKind kind, std::vector<LeaderboardEntry> rows) {
    std::lock_guard lock(standings_lock);
    (kind == RunKind::Single ? single_standings : multi_standings) = std::move(rows);
}

std::string LeaderboardClient::failure_text(const std::exception& error) const {
    // The transport's messages already say why and where; a reply that could not be read is
    // named as such, after the reader's own reason. Any of them may quote the server's reply.
    if (dynamic_cast<const json::exception*>(&error) != nullptr)
        return printable_text(
            exchange_failure_text(error.what(), "answer not understood", setting_.endpoint));
    if (dynamic_cast<const ImpossibleStandings*>(&error) != nullptr)
        return printable_text(
            exchange_failure_text("Answer not understood", error.what(), setting_.endpoint));
    return printable_text(error.what());
}

FetchOutcome& LeaderboardClient::fetch_outcome_of(RunKind kind) {
    return kind == RunKind::Single ? single_fetch : multi_fetch;
}

void LeaderboardClient::set_submit_status(RequestOutcome outcome, std::string text) {
    std::lock_guard lock(status_lock);
    submit_outcome = outcome;
    submit_status = std::move(text);
    submit_status_outcome = ++outcomes;
}

void LeaderboardClient::fetch_task(RunKind kind, const std::stop_token& stop) {
    try {
        store_standings(kind, download_standings(kind, stop));
        std::lock_guard lock(status_lock);
        fetch_error.clear();
        fetch_outcome_of(kind) = FetchOutcome{true, {}};
        fetch_outcome_number = ++outcomes;
    } catch (const std::exception& error) {
        std::string message = failure_text(error);
        std::lock_guard lock(status_lock);
        fetch_error = message;
        fetch_outcome_of(kind).error = std::move(message);
        fetch_outcome_number = ++outcomes;
    }
}

void LeaderboardClient::submit_task(const std::string& cpu_name, RunKind kind, std::int32_t score,
                                    std::int32_t threads, const std::stop_token& stop) {
    try {
        const std::string type(run_kind_text(kind));
        const json request = {{"cpu_name", cpu_name}, {"score", score}, {"threads", threads}, {"type", type}};
        set_submit_status(RequestOutcome::Submitting, "Submitting...");
        {
            // The standing of the run before no longer applies.
            std::lock_guard lock(standing_lock);
            ++run_slot.asked;
            run_slot.outcome = {};
        }
        // Compact, and the keys come out in ascending order.
        const std::string raw_reply = http_post_json(endpoint(), api_path, request.dump(), stop);
        check_accepted(parse_reply(raw_reply), raw_reply, endpoint());
        // Stored: where it stands is asked at once, on a request of its own.
        if (!stop.stop_requested()) fetch_standing(StandingFor::Run, kind, cpu_name, score);

        store_standings(kind, download_standings(kind, stop));
        {
            // The list is the server's again; the fetch error of either type is left alone.
            std::lock_guard lock(status_lock);
            fetch_outcome_of(kind) = FetchOutcome{true, {}};
        }
        set_submit_status(RequestOutcome::Submitted,
                          "Submitted OK (" + type + " " + std::to_string(score) + ")");
    } catch (const std::exception& error) {
        set_submit_status(RequestOutcome::SubmitFailed, "Submit error: " + failure_text(error));
    }
}

void LeaderboardClient::standing_task(StandingFor which, std::uint64_t asked, RunKind kind,
                                      const std::string& cpu_name, std::optional<std::int32_t> score,
                                      const std::stop_token& stop) {
    StandingOutcome outcome{StandingOutcome::State::Ready, kind, cpu_name, score, {}, {}};
    try {
        outcome.standing =
            standing_from_reply(http_get(endpoint(), standing_path(kind, cpu_name, score), stop));
    } catch (const std::exception& error) {
        outcome.state = StandingOutcome::State::Failed;
        outcome.error = failure_text(error);
    }
    std::lock_guard lock(standing_lock);
    StandingSlot& slot = slot_of(which);
    if (slot.asked == asked) slot.outcome = std::move(outcome);
}

StandingOutcome LeaderboardClient::run_standing() const {
    std::lock_guard lock(standing_lock);
    return run_slot.outcome;
}

StandingOutcome LeaderboardClient::processor_standing() const {
    std::lock_guard lock(standing_lock);
    return processor_slot.outcome;
}

std::vector<LeaderboardEntry> LeaderboardClient::standings(RunKind kind) const {
    std::lock_guard lock(standings_lock);
    return kind == RunKind::Single ? single_standings : multi_standings;
}

std::string LeaderboardClient::submit_status_text() const {
    std::lock_guard lock(status_lock);
    return submit_status;
}

FetchOutcome LeaderboardClient::fetch_outcome(RunKind kind) const {
    std::lock_guard lock(status_lock);
    return kind == RunKind::Single ? single_fetch : multi_fetch;
}

LatestOutcome LeaderboardClient::latest_outcome() const {
    std::lock_guard lock(status_lock);
    if (submit_status_outcome == 0 && fetch_outcome_number == 0) return {};
    if (submit_status_outcome > fetch_outcome_number) return {submit_outcome, submit_status};
    return {fetch_error.empty() ? RequestOutcome::Fetched : RequestOutcome::FetchFailed, fetch_error};
}

std::size_t LeaderboardClient::task_count() const {
    std::lock_guard lock(tasks_lock);
    return tasks.size();
}

void LeaderboardClient::set_results_for_testing(RequestResults results) {
    {
        std::lock_guard lock(standings_lock);
        single_standings = std::move(results.single_standings);
        multi_standings = std::move(results.multi_standings);
    }
    {
        std::lock_guard lock(standing_lock);
        run_slot.outcome = std::move(results.run_standing);
        processor_slot.outcome = std::move(results.processor_standing);
    }
    std::lock_guard lock(status_lock);
    single_fetch = std::move(results.single_fetch);
    multi_fetch = std::move(results.multi_fetch);
    fetch_error = std::move(results.fetch_error);
    submit_outcome = results.submission.outcome;
    submit_status = std::move(results.submission.text);
    fetch_outcome_number = fetch_error.empty() ? 0 : ++outcomes;
    submit_status_outcome = submit_outcome == RequestOutcome::None ? 0 : ++outcomes;
}

}  // namespace vornmark
