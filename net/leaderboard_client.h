#pragma once

#include "base/run_kind.h"
#include "net/http.h"
#include "net/leaderboard_entry.h"
#include "net/leaderboard_setting.h"

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
    };
    void set_results_for_testing(RequestResults results);

private:
    template <typename Task>
    void start_task(Task task);
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

    mutable std::mutex tasks_lock;
    std::vector<std::jthread> tasks;
    // One flag per entry of `tasks`, set as the last act of its thread: a finished jthread stays
    // joinable, so this is how the next start knows it can be joined at once and dropped.
    std::vector<std::unique_ptr<std::atomic<bool>>> task_finished;
};
