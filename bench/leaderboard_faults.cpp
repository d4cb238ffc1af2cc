// The scenarios that break the database or the server process (see leaderboard_scenarios.h).
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench/leaderboard_scenarios.h"
#include "tests/support/leaderboard_server.h"
#include "tests/support/postgres_server.h"
#include "tests/support/silent_port.h"

namespace vornmark::server {

namespace {

void signal_all(const std::vector<pid_t>& pids, int signal_number) {
    for (pid_t pid : pids) kill(pid, signal_number);
}

// Runs stored under the name, as the standings say; -1 when they cannot be read.
long stored_runs(const Target& target, const std::string& cpu) {
    const Reply reply = one_request(target, "/api.php?type=single");
    const nlohmann::json standings = nlohmann::json::parse(reply.body, nullptr, false);
    if (!standings.is_object() || !standings.contains("leaderboard")) return -1;
    long runs = 0;
    for (const auto& row : standings["leaderboard"]) {
        if (row.value("cpu", "") == cpu) runs += row.value("runs", 0L);
    }
    return runs;
}

Target target_of(const LeaderboardServerProcess& server) {
    return {"https://localhost:" + std::to_string(server.port()), server.ca_file()};
}

// What POSTs got back while something went wrong.
struct PostTally {
    std::atomic<long> stored{0}, refused_503{0}, no_reply{0}, other{0};
    std::mutex mutex;
    std::vector<double> ms;

    void count(const Reply& reply) {
        if (reply.status == 200 && reply.body == R"({"ok":true})") {
            ++stored;
        } else if (reply.status == 503) {
            ++refused_503;
        } else if (reply.status == 0) {
            ++no_reply;
        } else {
            ++other;
        }
        std::lock_guard lock(mutex);
        ms.push_back(reply.ms);
    }
};

}  // namespace

void stalled_database(PostgresServer& postgres, double seconds) {
    LeaderboardServerOptions options;
    options.rate_limit = 1000000;
    options.database = postgres.create_database();
    LeaderboardServerProcess server(options);
    const Target target = target_of(server);
    const std::string cpu = "Stall CPU";
    one_request(target, "/api.php", submission_body(cpu, 100));

    std::atomic<bool> running{true};
    std::mutex mutex;
    std::vector<double> get_ms, other_ms;
    PostTally posts;
    std::vector<std::thread> clients;
    clients.emplace_back([&] {
        while (running) {
            const Reply standings = one_request(target, "/api.php?type=single");
            const Reply other = one_request(target, "/other");
            std::lock_guard lock(mutex);
            get_ms.push_back(standings.status == 200 ? standings.ms : 1e9);
            other_ms.push_back(other.status == 404 ? other.ms : 1e9);
        }
    });
    for (int i = 0; i < 4; ++i) {
        clients.emplace_back([&] {
            while (running) posts.count(one_request(target, "/api.php", submission_body(cpu, 200)));
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    signal_all(postgres.process_ids(), SIGSTOP);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    signal_all(postgres.process_ids(), SIGCONT);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    running = false;
    for (std::thread& client : clients) client.join();

    const long stored = stored_runs(target, cpu) - 1;
    std::printf("stalled PostgreSQL (SIGSTOP for %.0f s) under GETs, /other and 4 POST clients:\n", seconds);
    std::printf(
        "  GET standings: p50 %.2f ms, worst %.2f ms (1e9: not 200); /other: p50 %.2f ms, worst %.2f ms\n",
        percentile(get_ms, 0.5), percentile(get_ms, 1.0), percentile(other_ms, 0.5),
        percentile(other_ms, 1.0));
    std::printf(
        "  POSTs: %ld stored, %ld got 503, %ld no reply, %ld other; worst %.0f ms; runs in the store %ld "
        "(never fewer than stored)\n",
        posts.stored.load(), posts.refused_503.load(), posts.no_reply.load(), posts.other.load(),
        percentile(posts.ms, 1.0), stored);

    // Stopped again, with a POST waiting for it: SIGTERM.
    signal_all(postgres.process_ids(), SIGSTOP);
    std::thread waiting([&] { one_request(target, "/api.php", submission_body(cpu, 300)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto sigterm = Clock::now();
    const int exit_code = server.stop();
    const double stop_seconds = seconds_since(sigterm);
    signal_all(postgres.process_ids(), SIGCONT);
    waiting.join();
    std::printf("  SIGTERM while PostgreSQL is stopped and a POST waits: exit %d after %.2f s\n", exit_code,
                stop_seconds);
    std::fflush(stdout);
}

void kill_during_post_burst(const std::string& store_name, const std::string& location) {
    LeaderboardServerOptions options;
    options.rate_limit = 1000000;
    options.database = location;
    LeaderboardServerProcess server(options);
    const Target target = target_of(server);
    const std::string cpu = "Burst CPU";
    PostTally posts;
    std::atomic<bool> running{true};
    std::vector<std::thread> clients;
    for (int i = 0; i < 8; ++i) {
        clients.emplace_back([&] {
            while (running) posts.count(one_request(target, "/api.php", submission_body(cpu, 100)));
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    server.kill_hard();
    running = false;
    for (std::thread& client : clients) client.join();
    server.restart();
    const long stored = stored_runs(target_of(server), cpu);
    std::printf(
        "%s: kill -9 during an 8-thread POST burst: %ld acknowledged, %ld stored (acknowledged <= stored "
        "<= acknowledged + 8)\n",
        store_name.c_str(), posts.stored.load(), stored);
    std::fflush(stdout);
}

void unreachable_database_at_start() {
    const SilentPort silent;
    const auto start = Clock::now();
    const CommandResult result =
        run_command({leaderboard_binary_path(), "--http", "--listen", "127.0.0.1:0", "--db",
                     "postgresql://someone@127.0.0.1:" + std::to_string(silent.port()) + "/board"},
                    std::chrono::seconds(120));
    std::printf("a database that never answers, at start-up: exit %d after %.2f s\n", result.exit_code,
                seconds_since(start));
    std::fflush(stdout);
}

}  // namespace vornmark::server
