#pragma once

#include "net/http.h"
#include "net/leaderboard_entry.h"
#include "net/leaderboard_setting.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Fetches the standings and submits finished runs on background threads, one thread per request.
// The window reads the results on later frames through the accessors, which copy under the
// matching lock (never both locks at once).
class LeaderboardClient {
public:
    // The leaderboard this program is set to (leaderboard_setting()).
    LeaderboardClient();
    // With a refused setting every request fails at once, without touching the network.
    explicit LeaderboardClient(LeaderboardSetting setting);
    explicit LeaderboardClient(HttpEndpoint endpoint);
    ~LeaderboardClient();

    LeaderboardClient(const LeaderboardClient&) = delete;
    LeaderboardClient& operator=(const LeaderboardClient&) = delete;

    // Both start a request and return at once.
    void fetch_standings(std::string type);
    void submit_result(std::string cpu_name, std::string type, std::int32_t score, std::int32_t threads);

    // Waits for every request started so far; called once after the frame loop and by the destructor.
    void shutdown();

    // Copies taken under the matching lock.
    std::vector<LeaderboardEntry> standings(std::string_view type) const;
    std::string submit_status_text() const;
    std::string fetch_error_text() const;
    // Fetches and submissions running now.
    std::int32_t pending_request_count() const { return pending_requests.load(); }

    // The leaderboard this client talks to, and where that came from; fixed for its lifetime.
    const LeaderboardSetting& setting() const { return setting_; }

    // Request threads still held: the running ones, plus finished ones not yet collected by the
    // next start.
    std::size_t task_count() const;

    // Tests of what reads the client only: the lists and texts as finished requests would leave them.
    struct RequestResults {
        std::vector<LeaderboardEntry> single_standings = {};
        std::vector<LeaderboardEntry> multi_standings = {};
        std::string fetch_error = {};
        std::string submit_status = {};
    };
    void set_results_for_testing(RequestResults results);

private:
    template <typename Task>
    void start_task(Task task);
    void fetch_task(const std::string& type);
    void submit_task(const std::string& cpu_name, const std::string& type, std::int32_t score,
                     std::int32_t threads);
    std::vector<LeaderboardEntry> download_standings(const std::string& type) const;
    void store_standings(const std::string& type, std::vector<LeaderboardEntry> rows);

    const HttpEndpoint& endpoint() const;

    const LeaderboardSetting setting_;

    mutable std::mutex standings_lock;
    std::vector<LeaderboardEntry> single_standings;
    std::vector<LeaderboardEntry> multi_standings;
    std::atomic<std::int32_t> pending_requests{0};

    mutable std::mutex status_lock;
    std::string fetch_error;
    std::string submit_status;

    mutable std::mutex tasks_lock;
    std::vector<std::jthread> tasks;
    // One flag per entry of `tasks`, set as the last act of its thread: a finished jthread stays
    // joinable, so this is how the next start knows it can be joined at once and dropped.
    std::vector<std::unique_ptr<std::atomic<bool>>> task_finished;
};
