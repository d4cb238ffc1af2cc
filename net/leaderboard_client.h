#pragma once

#include "base/run_kind.h"
#include "net/http.h"
#include "net/leaderboard_entry.h"
#include "net/leaderboard_setting.h"
#include "net/standing.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vornmark {

// What the last finished fetch of one run type left.
struct FetchOutcome {
    bool received = false;  // a reply was read at least once: the list is the server's, even when empty
    std::string error;      // why the last fetch of this type failed; empty after one that worked
};

// How a request stands or ended. Readers act on this, never on the words of the text beside it.
enum class RequestOutcome {
    None,          // no request has left an outcome yet
    Submitting,    // "Submitting..."
    Submitted,     // "Submitted OK (single 4321)"
    SubmitFailed,  // "Submit error: " and why
    Fetched,       // a standings fetch that worked: no text
    FetchFailed,   // why a standings fetch failed
};

// The newest outcome of any request, for a status line: the last submission's status or the last
// standings fetch's, whichever came later, with its text.
struct LatestOutcome {
    RequestOutcome outcome = RequestOutcome::None;
    std::string text;
};

// Where a run (or a processor) stands, as far as the client knows: asked, answered, or not to be had.
struct StandingOutcome {
    enum class State { None, Waiting, Ready, Failed };
    State state = State::None;
    RunKind kind = RunKind::Single;
    std::string cpu;                    // the name asked about
    std::optional<std::int32_t> score;  // the run's score; none for a processor asked about alone
    Standing standing;                  // when Ready
    std::string error;                  // when Failed: why, printable
};

// Fetches the standings and submits finished runs on background threads, one thread per request.
// The window reads the results on later frames through the accessors, which copy under the
// matching lock (never both locks at once). Text from the server (processor names, messages that
// quote a reply) is kept printable (printable_text).
class LeaderboardClient {
public:
    // The leaderboard this program is set to (leaderboard_setting()).
    LeaderboardClient();
    // With a refused setting, or none, requests are not started at all: the setting's own line says
    // why there is no leaderboard, and nothing else is reported.
    explicit LeaderboardClient(LeaderboardSetting setting);
    explicit LeaderboardClient(HttpEndpoint endpoint);
    ~LeaderboardClient();

    LeaderboardClient(const LeaderboardClient&) = delete;
    LeaderboardClient& operator=(const LeaderboardClient&) = delete;

    // Both start a request and return at once; without a leaderboard in use they do nothing.
    void fetch_standings(RunKind kind);
    void submit_result(std::string cpu_name, RunKind kind, std::int32_t score, std::int32_t threads);

    // Where the processor's runs of the type stand, for a row chosen in the standings; replaces the
    // answer of the one asked before. Like the standing fetched after each accepted submission, it
    // is not counted in pending_request_count().
    void fetch_processor_standing(RunKind kind, std::string cpu_name);

    // Waits for every request started so far (each ends within exchange_time_limit per exchange);
    // called once after the frame loop.
    void shutdown();
    // Ends every request in flight at once, as failed (a stop by Ctrl-C or SIGTERM); returns without
    // waiting. The destructor aborts, then waits.
    void abort();

    // Copies taken under the matching lock.
    std::vector<LeaderboardEntry> standings(RunKind kind) const;
    std::string submit_status_text() const;
    FetchOutcome fetch_outcome(RunKind kind) const;
    LatestOutcome latest_outcome() const;
    // Fetches and submissions running now.
    std::int32_t pending_request_count() const { return pending_requests.load(); }
    // The standing of the last accepted submission's run, and of the processor last asked about.
    StandingOutcome run_standing() const;
    StandingOutcome processor_standing() const;
    // Standing requests running now (not part of pending_request_count).
    std::int32_t standing_request_count() const { return standing_requests.load(); }

    // The leaderboard this client talks to, and where that came from; fixed for its lifetime.
    const LeaderboardSetting& setting() const { return setting_; }

    // Test seams, used by no program. Request threads still held: the running ones, plus finished
    // ones not yet collected by the next start (so a test can tell that they do not pile up).
    std::size_t task_count() const;
    // The lists and texts as finished requests would leave them, for tests of what reads the client.
    struct RequestResults {
        std::vector<LeaderboardEntry> single_standings = {};
        std::vector<LeaderboardEntry> multi_standings = {};
        FetchOutcome single_fetch = {};
        FetchOutcome multi_fetch = {};
        std::string fetch_error = {};
        LatestOutcome submission = {};  // newer than the fetch error when both are given
        StandingOutcome run_standing = {};
        StandingOutcome processor_standing = {};
    };
    void set_results_for_testing(RequestResults results);

private:
    // A standing slot: its newest question wins, an older answer arriving late is dropped.
    struct StandingSlot {
        StandingOutcome outcome;
        std::uint64_t asked = 0;
    };

    // `counted`: the request shows in pending_request_count (fetches and submissions do).
    template <typename Task>
    void start_task(Task task, bool counted = true);
    enum class StandingFor { Run, Processor };
    StandingSlot& slot_of(StandingFor which) { return which == StandingFor::Run ? run_slot : processor_slot; }
    void fetch_standing(StandingFor which, RunKind kind, std::string cpu_name,
                        std::optional<std::int32_t> score);
    void standing_task(StandingFor which, std::uint64_t asked, RunKind kind, const std::string& cpu_name,
                       std::optional<std::int32_t> score, const std::stop_token& stop);
    void fetch_task(RunKind kind, const std::stop_token& stop);
    void submit_task(const std::string& cpu_name, RunKind kind, std::int32_t score, std::int32_t threads,
                     const std::stop_token& stop);
    std::vector<LeaderboardEntry> download_standings(RunKind kind, const std::stop_token& stop) const;
    void store_standings(RunKind kind, std::vector<LeaderboardEntry> rows);
    std::string failure_text(const std::exception& error) const;
    // Under status_lock.
    FetchOutcome& fetch_outcome_of(RunKind kind);
    void set_submit_status(RequestOutcome outcome, std::string text);

    const HttpEndpoint& endpoint() const;

    const LeaderboardSetting setting_;

    mutable std::mutex standings_lock;
    std::vector<LeaderboardEntry> single_standings;
    std::vector<LeaderboardEntry> multi_standings;
    std::atomic<std::int32_t> pending_requests{0};

    mutable std::mutex status_lock;
    std::string fetch_error;  // the last failed fetch's message, of either type; emptied by one that works
    std::string submit_status;
    RequestOutcome submit_outcome = RequestOutcome::None;
    FetchOutcome single_fetch;
    FetchOutcome multi_fetch;
    // Which of the two texts above changed last, by a count of outcomes.
    std::uint64_t outcomes = 0;
    std::uint64_t submit_status_outcome = 0;
    std::uint64_t fetch_outcome_number = 0;

    // Held alone, only for a copy or an assignment, like the two locks above.
    mutable std::mutex standing_lock;
    StandingSlot run_slot;
    StandingSlot processor_slot;
    std::atomic<std::int32_t> standing_requests{0};

    mutable std::mutex tasks_lock;
    bool aborted = false;  // under tasks_lock: requests started later are stopped from the start
    std::vector<std::jthread> tasks;
    // One flag per entry of `tasks`, set as the last act of its thread: a finished jthread stays
    // joinable, so this is how the next start knows it can be joined at once and dropped.
    std::vector<std::unique_ptr<std::atomic<bool>>> task_finished;
};

}  // namespace vornmark
