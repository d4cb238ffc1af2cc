// leaderboard_load: the leaderboard server under load, under attack and with faults, on loopback.
//
// load: for each store (SQLite, PostgreSQL of its own) and each size (1,000 and 1,000,000
// stored runs, loaded in bulk), GET and POST at 1, 8 and 64 concurrent clients over TLS, with
// kept-alive connections and with a new connection per request. Prints requests per second,
// p50/p99 latency and the server's CPU time per request.
// attacks (against the largest SQLite board): slow-header TLS clients with silent TCP
// connections; a flood of oversized headers while the server's memory is watched; 1,000
// connections dripping a byte every 3 s from 20 addresses; a lone head and a lone body dripped a
// byte every 5 s; silent connections up to the limit. An ordinary client keeps asking throughout.
// faults: PostgreSQL stopped for 10 s under load, then SIGTERM while it is stopped; kill -9
// during a POST burst on each store; a database that never answers at start-up.
// pages (SQLite and PostgreSQL, 10,000 rows per run type): the web pages at 1, 8 and 64 kept-alive
// clients: the JSON standings (for comparison), the standings page "/", one processor's page asked
// again and again ("/cpu"), and every request another processor's page ("/cpu*"); with the size of
// each page. The clients ask for gzip as browsers do and do not inflate what they receive.
// stand (SQLite and PostgreSQL, 1,000,000 runs over 10,000 rows per run type): where a score stands
// (GET /api.php?type=T&cpu=NAME&score=S) at 1, 8 and 64 kept-alive clients, one processor asked
// again and again ("stand") and every request another processor with another score ("stand*").
// The JSON standings on that board too, for the standings' latency at that size.
// No submission runs during pages and stand: on PostgreSQL the server keeps what it read of a row
// until the row changes. So before "/cpu*" and "stand*" every processor is asked once at 64 clients
// ("first pass": each answer read from the store, as on a board just started), and "/cpu*" and
// "stand*" then measure answers from memory, with the place among the rows taken afresh; on SQLite
// an answer is kept for about a second, so they mostly read the store again. Each group ends with
// the share of processor answers the server gave from memory, over all its scenarios.
// rules (SQLite and PostgreSQL, 3,000 processors): submissions under a public board's rules at 8 and
// 64 kept-alive clients: runs that count, one processor past the runs counted per address and day,
// runs above the score per thread, new names past the limit per address and day; with how the
// replies read (counted, stored but not counted, refused).
// Every scenario is bounded in requests and time; nothing leaves the machine.
//
// Usage: leaderboard_load [--seconds S] [--attack-seconds S] [--quick]
//                         [--only load|attacks|faults|pages|stand|rules] [--runs N]... [--store sqlite|postgresql]
//   --seconds S         length of each load scenario (default 3)
//   --attack-seconds S  length of the slow-client attack and the drip flood (default 60)
//   --quick             1,000 runs only, SQLite only, short attacks (a smoke run)
//   --only GROUP        one group of scenarios
//   --runs N            the load group's stored runs (repeatable; default 1,000 and 1,000,000)
//   --store S           one store only

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <functional>

#include <curl/curl.h>
#include <openssl/ssl.h>

#include "bench/leaderboard_bench.h"
#include "bench/leaderboard_scenarios.h"
#include "server/gzip.h"
#include "server/store_factory.h"
#include "tests/support/leaderboard_server.h"
#include "tests/support/postgres_server.h"
#include "tests/support/temp_dir.h"

namespace vornmark::server {

namespace {

constexpr std::size_t max_requests_per_scenario = 200000;

struct Settings {
    double seconds = 3;
    double attack_seconds = 60;
    bool quick = false;
    std::string only;        // empty: every group
    std::vector<int> sizes;  // stored runs of the load group; empty: by --quick
    std::string store;       // "sqlite" or "postgresql"; empty: by --quick

    bool runs(const char* group) const { return only.empty() || only == group; }
};

// ---- stored runs -------------------------------------------------------------

// Processor names of a plausible board: a few thousand models.
std::string processor_name(int i) {
    static const char* const makers[] = {"AMD Ryzen", "Intel Core", "AMD EPYC", "Intel Xeon", "Apple M"};
    return std::string(makers[i % 5]) + " " + std::to_string(1000 + i) + "X";
}

void load_runs(Store& store, int count) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> processor(0, 2999);
    std::uniform_int_distribution<int> score(500, 40000);
    const int batch_size = 100000;
    for (int done = 0; done < count;) {
        std::vector<StoredRun> batch;
        for (int i = 0; i < batch_size && done < count; ++i, ++done) {
            int threads = (done % 2 == 0) ? 1 : 16;
            batch.push_back({Submission{processor_name(processor(random)), score(random), threads,
                                        threads == 1 ? "single" : "multi"},
                             1700000000 + done});
        }
        store.add_many(batch);
    }
}

// `names` processors with `runs_per_type` runs of each type, so both standings have `names` rows.
void load_rows(Store& store, int names, int runs_per_type) {
    std::mt19937 random(54321);
    std::uniform_int_distribution<int> score(500, 40000);
    std::vector<StoredRun> batch;
    for (int name = 0; name < names; ++name) {
        for (int i = 0; i < 2 * runs_per_type; ++i) {
            const int threads = i % 2 == 0 ? 1 : 16;
            batch.push_back(
                {Submission{processor_name(name), score(random), threads, threads == 1 ? "single" : "multi"},
                 1700000000 + name});
        }
        if (batch.size() >= 100000) {
            store.add_many(batch);
            batch.clear();
        }
    }
    store.add_many(batch);
}

// ---- the load client ---------------------------------------------------------

std::size_t discard(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

struct LoadResult {
    std::size_t requests = 0;
    std::size_t failures = 0;
    double seconds = 0;
    std::vector<double> latencies_ms;
    // How the POSTs' replies read: stored and counted, stored but not counted, refused.
    std::size_t counted = 0, not_counted = 0, refused = 0;
};

std::size_t keep(char* data, std::size_t size, std::size_t count, void* into) {
    static_cast<std::string*>(into)->append(data, size * count);
    return size * count;
}

void set_common(CURL* curl, const Target& target, const std::string& url, bool post,
                const std::string& body) {
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CAINFO, target.ca_file.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 20000L);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    if (post) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
}

// The path of a GET by client c, its n-th request; without one, the JSON standings.
using GetPath = std::function<std::string(int c, int n)>;
// The body of a POST by client c, its n-th request.
using PostBody = std::function<std::string(int c, int n)>;

// Client c's n-th submission of the plain load: 50 processors per client, each already on the
// board, scores of a plausible single-core run.
std::string plain_submission(int c, int n) {
    return submission_body(processor_name(c * 7 + n % 50), 1000 + n % 977);
}

LoadResult run_load(const Target& target, bool post, int clients, bool keep_alive, double seconds,
                    const GetPath& get_path = {}, const PostBody& post_body = plain_submission,
                    std::size_t max_requests = max_requests_per_scenario) {
    std::atomic<std::size_t> started{0};
    std::mutex merge;
    LoadResult total;
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    const auto begin = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            std::vector<double> latencies;
            std::size_t failures = 0, counted = 0, not_counted = 0, refused = 0;
            std::string reply;
            const std::string source = "host!127.0.1." + std::to_string(c + 1);
            curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
            curl_slist* gzip_headers = curl_slist_append(nullptr, "Accept-Encoding: gzip");
            CURL* curl = curl_easy_init();
            int n = 0;
            while (Clock::now() < deadline && started++ < max_requests) {
                const std::string body = post ? post_body(c, n) : std::string();
                ++n;
                if (!keep_alive) {
                    curl_easy_cleanup(curl);
                    curl = curl_easy_init();
                }
                std::string url = target.base_url + (post       ? std::string("/api.php")
                                                     : get_path ? get_path(c, n)
                                                                : std::string("/api.php?type=single"));
                if (keep_alive) curl_easy_reset(curl);
                set_common(curl, target, url, post, body);
                reply.clear();
                if (post) {
                    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keep);
                    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
                }
                // The pages' scenarios ask for gzip, as a browser does, and take the bytes as they
                // come without inflating them: the server's reply ends with its last byte, and
                // inflating it is the browser's work, which here would take the cores from the
                // server.
                if (get_path) {
                    curl_easy_setopt(curl, CURLOPT_HTTP_CONTENT_DECODING, 0L);
                    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, gzip_headers);
                }
                // Each client from a loopback address of its own, as separate machines would be.
                curl_easy_setopt(curl, CURLOPT_INTERFACE, source.c_str());
                if (!get_path) curl_easy_setopt(curl, CURLOPT_HTTPHEADER, post ? headers : nullptr);
                auto t0 = Clock::now();
                CURLcode rc = curl_easy_perform(curl);
                long status = 0;
                curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
                latencies.push_back(Ms(Clock::now() - t0).count());
                if (rc != CURLE_OK || status != 200) ++failures;
                if (post && status == 200) {
                    if (reply.find(R"("ok":false)") != std::string::npos)
                        ++refused;
                    else if (reply.find(R"("counted":false)") != std::string::npos)
                        ++not_counted;
                    else
                        ++counted;
                }
            }
            curl_easy_cleanup(curl);
            curl_slist_free_all(headers);
            curl_slist_free_all(gzip_headers);
            std::lock_guard lock(merge);
            total.requests += latencies.size();
            total.failures += failures;
            total.counted += counted;
            total.not_counted += not_counted;
            total.refused += refused;
            total.latencies_ms.insert(total.latencies_ms.end(), latencies.begin(), latencies.end());
        });
    }
    for (std::thread& t : threads) t.join();
    total.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    return total;
}

void print_load(const std::string& store, int runs, const std::string& what, int clients, bool keep_alive,
                LoadResult r, double server_cpu_ms) {
    double p50 = percentile(r.latencies_ms, 0.50);
    double p99 = percentile(r.latencies_ms, 0.99);
    std::printf("%-10s %9d  %-4s %3d clients  %-10s %8.0f req/s  p50 %7.2f ms  p99 %7.2f ms  server CPU %.3f "
                "ms/req  (%zu requests, %zu failed)\n",
                store.c_str(), runs, what.c_str(), clients, keep_alive ? "kept-alive" : "new-conn",
                r.requests / r.seconds, p50, p99, r.requests ? server_cpu_ms / r.requests : 0.0, r.requests,
                r.failures);
    if (what.rfind("POST", 0) == 0 && r.requests > 0) {
        std::printf("%-10s %9s  replies: %zu counted, %zu stored not counted, %zu refused\n", "", "",
                    r.counted, r.not_counted, r.refused);
    }
    std::fflush(stdout);
}

// Every processor asked once, at 64 clients, each answer read from the store: what a board that
// just started (or whose rows all change, as each submission changes its own) gives. The
// scenarios after it find them in memory.
void first_pass(const std::string& store_name, int runs, const std::string& label, const Target& target,
                pid_t server, int names, const std::function<std::string(int)>& path_of) {
    std::atomic<int> next{0};
    const double cpu_before = cpu_ms(server);
    LoadResult result = run_load(
        target, false, 64, true, 600, [&](int, int) { return path_of(next++ % names); }, plain_submission,
        static_cast<std::size_t>(names));
    print_load(store_name, runs, label + " first pass", 64, true, std::move(result), cpu_ms(server) - cpu_before);
}

// What the server says at its stop of the answers it gave from memory (all the group's scenarios).
void print_from_memory(const std::string& store_name, const LeaderboardServerProcess& server) {
    const std::string log = server.log_text();
    const std::string marker = "where-you-stand answers ";
    const std::size_t at = log.rfind(marker);
    if (at == std::string::npos) return;
    const std::size_t end = log.find('\n', at);
    std::printf("%s: the server gave %s\n", store_name.c_str(), log.substr(at, end - at).c_str());
}

// The web pages against a board of 10,000 rows per run type.
void page_scenarios(const std::string& store_name, const std::string& location, double seconds) {
    constexpr int names = 10000;
    constexpr int runs_per_type = 5;
    auto load_begin = Clock::now();
    {
        std::unique_ptr<Store> store = open_store(location, 1000000);
        load_rows(*store, names, runs_per_type);
    }
    std::printf("%s: %d rows per run type (%d runs) loaded in bulk in %.1f s\n", store_name.c_str(), names,
                2 * names * runs_per_type, seconds_since(load_begin));
    LeaderboardServerOptions options;
    options.database = location;
    LeaderboardServerProcess server(options);
    Target target{"https://localhost:" + std::to_string(server.port()), server.ca_file()};

    // A processor in the middle of the board: its page is not among the first hundred.
    const auto page_of = [](int name) {
        std::string cpu = processor_name(name), query;
        for (char ch : cpu) query += ch == ' ' ? std::string("%20") : std::string(1, ch);
        return "/cpu?type=multi&cpu=" + query;
    };
    const struct {
        const char* label;
        GetPath path;
    } pages[] = {
        // The JSON standings beside them, as the measure of what this machine gives now.
        {"json", [](int, int) { return std::string("/api.php?type=single"); }},
        {"/", [](int, int) { return std::string("/"); }},
        {"/cpu", [&](int, int) { return page_of(names / 2); }},
        {"/cpu*",
         [&](int c, int n) { return page_of(static_cast<int>((c * 7919LL + n * 104729LL) % names)); }},
    };
    for (const auto& page : {std::pair{"/", std::string("/")}, std::pair{"/cpu", page_of(names / 2)}}) {
        const Reply reply = one_request(target, page.second);
        std::printf("%s: %s is %zu bytes, %zu gzipped (status %ld)\n", store_name.c_str(), page.first,
                    reply.body.size(), gzip_compressed(reply.body).size(), reply.status);
    }
    for (const auto& page : pages) {
        if (std::string(page.label) == "/cpu*")
            first_pass(store_name, names, page.label, target, server.pid(), names, page_of);
        for (int clients : {1, 8, 64}) {
            double cpu_before = cpu_ms(server.pid());
            LoadResult result = run_load(target, false, clients, true, seconds, page.path);
            print_load(store_name, names, page.label, clients, true, std::move(result),
                       cpu_ms(server.pid()) - cpu_before);
        }
    }
    server.stop();
    print_from_memory(store_name, server);
}

// Submissions under a public board's rules, against 3,000 processors with runs of both types:
// each client from an address of its own posts runs that count (another listed processor every
// time), one processor again and again (past the runs counted per address and day: stored, not
// counted), runs above the score per thread (refused and logged), and new names (past the new
// names per address and day: refused).
void rules_scenarios(const std::string& store_name, const std::string& location, double seconds) {
    constexpr int names = 3000;
    {
        std::unique_ptr<Store> store = open_store(location, 1000000);
        load_rows(*store, names, 2);
    }
    LeaderboardServerOptions options;
    options.rate_limit = 1000000;  // raised for the benchmark
    options.public_board = true;
    options.database = location;
    LeaderboardServerProcess server(options);
    Target target{"https://localhost:" + std::to_string(server.port()), server.ca_file()};
    const struct {
        const char* label;
        PostBody body;
    } scenarios[] = {
        {"POST rows",
         [](int c, int n) { return submission_body(processor_name((c * 389 + n) % names), 1000 + n % 977); }},
        {"POST cap", [](int c, int n) { return submission_body(processor_name(c), 1000 + n % 977); }},
        {"POST implausible", [](int c, int n) { return submission_body(processor_name(c), 5000 + n % 977); }},
        {"POST new names",
         [](int c, int n) {
             return submission_body("Invented CPU " + std::to_string(c) + "-" + std::to_string(n), 1000);
         }},
    };
    for (const auto& scenario : scenarios) {
        for (int clients : {8, 64}) {
            double cpu_before = cpu_ms(server.pid());
            LoadResult result = run_load(target, true, clients, true, seconds, {}, scenario.body);
            print_load(store_name, 4 * names, scenario.label, clients, true, std::move(result),
                       cpu_ms(server.pid()) - cpu_before);
        }
    }
    server.stop();
}

// Where a score stands, against 10,000 rows per run type and 1,000,000 runs in all.
void stand_scenarios(const std::string& store_name, const std::string& location, double seconds, bool quick) {
    const int names = 10000;
    const int runs_per_type = quick ? 5 : 50;
    auto load_begin = Clock::now();
    {
        std::unique_ptr<Store> store = open_store(location, 1000000);
        load_rows(*store, names, runs_per_type);
    }
    std::printf("%s: %d rows per run type (%d runs) loaded in bulk in %.1f s\n", store_name.c_str(), names,
                2 * names * runs_per_type, seconds_since(load_begin));
    LeaderboardServerOptions options;
    options.database = location;
    options.extra_args = {"--standing-limit", "1000000"};  // every client from a few addresses
    LeaderboardServerProcess server(options);
    Target target{"https://localhost:" + std::to_string(server.port()), server.ca_file()};

    const auto stand = [](int name, int score) {
        std::string cpu = processor_name(name), query;
        for (char ch : cpu) query += ch == ' ' ? std::string("%20") : std::string(1, ch);
        return "/api.php?type=multi&cpu=" + query + "&score=" + std::to_string(score);
    };
    const Reply reply = one_request(target, stand(names / 2, 20000));
    std::printf("%s: a where-you-stand answer is %zu bytes (status %ld)\n", store_name.c_str(),
                reply.body.size(), reply.status);
    const struct {
        const char* label;
        GetPath path;
    } scenarios[] = {
        // The JSON standings on the same board, beside them.
        {"json", [](int, int) { return std::string("/api.php?type=multi"); }},
        {"stand", [&](int, int n) { return stand(names / 2, 500 + n % 39500); }},
        {"stand*",
         [&](int c, int n) {
             return stand(static_cast<int>((c * 7919LL + n * 104729LL) % names),
                          500 + (c * 31 + n * 17) % 39500);
         }},
    };
    for (const auto& scenario : scenarios) {
        if (std::string(scenario.label) == "stand*") {
            first_pass(store_name, 2 * names * runs_per_type, scenario.label, target, server.pid(), names,
                       [&](int name) { return stand(name, 500 + name % 39500); });
        }
        for (int clients : {1, 8, 64}) {
            double cpu_before = cpu_ms(server.pid());
            LoadResult result = run_load(target, false, clients, true, seconds, scenario.path);
            print_load(store_name, 2 * names * runs_per_type, scenario.label, clients, true,
                       std::move(result), cpu_ms(server.pid()) - cpu_before);
        }
    }
    server.stop();
    print_from_memory(store_name, server);
}

Settings parse(int argc, char** argv) {
    Settings s;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc) {
            s.seconds = std::atof(argv[++i]);
        } else if (a == "--attack-seconds" && i + 1 < argc) {
            s.attack_seconds = std::atof(argv[++i]);
        } else if (a == "--quick") {
            s.quick = true;
            s.attack_seconds = 5;
        } else if (a == "--only" && i + 1 < argc &&
                   (std::string(argv[i + 1]) == "load" || std::string(argv[i + 1]) == "attacks" ||
                    std::string(argv[i + 1]) == "faults" || std::string(argv[i + 1]) == "pages" ||
                    std::string(argv[i + 1]) == "stand" || std::string(argv[i + 1]) == "rules")) {
            s.only = argv[++i];
        } else if (a == "--runs" && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
            s.sizes.push_back(std::atoi(argv[++i]));
        } else if (a == "--store" && i + 1 < argc &&
                   (std::string(argv[i + 1]) == "sqlite" || std::string(argv[i + 1]) == "postgresql")) {
            s.store = argv[++i];
        } else {
            std::fprintf(stderr, "usage: leaderboard_load [--seconds S] [--attack-seconds S] [--quick] "
                                 "[--only load|attacks|faults|pages|stand|rules] [--runs N]... "
                                 "[--store sqlite|postgresql]\n");
            std::exit(2);
        }
    }
    s.seconds = std::clamp(s.seconds, 0.5, 60.0);
    s.attack_seconds = std::clamp(s.attack_seconds, 1.0, 600.0);
    return s;
}

}  // namespace

}  // namespace vornmark::server

using namespace vornmark;
using namespace vornmark::server;

int main(int argc, char** argv) {
    Settings settings = parse(argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    std::printf("leaderboard_load: loopback, TLS, %g s per scenario; the load client shares the machine\n",
                settings.seconds);

    std::unique_ptr<PostgresServer> postgres;
    std::vector<std::string> stores = settings.quick ? std::vector<std::string>{"SQLite"}
                                                     : std::vector<std::string>{"SQLite", "PostgreSQL"};
    if (!settings.store.empty()) stores = {settings.store == "sqlite" ? "SQLite" : "PostgreSQL"};
    std::vector<int> sizes = settings.quick ? std::vector<int>{1000} : std::vector<int>{1000, 1000000};
    if (!settings.sizes.empty()) sizes = settings.sizes;
    bool attacked = false;
    for (const std::string& store_name : stores) {
        for (int runs : sizes) {
            const bool attack_here = settings.runs("attacks") && !attacked && runs == sizes.back();
            if (!settings.runs("load") && !attack_here) continue;
            TempDir dir;
            std::string location;
            if (store_name == "SQLite") {
                location = dir.file("board.db");
            } else {
                if (!postgres) postgres = std::make_unique<PostgresServer>(/*durable=*/true);
                location = postgres->create_database();
            }
            auto load_begin = Clock::now();
            {
                std::unique_ptr<Store> store = open_store(location, 1000000);
                load_runs(*store, runs);
            }
            std::printf("%s: %d runs loaded in bulk in %.1f s\n", store_name.c_str(), runs,
                        seconds_since(load_begin));

            LeaderboardServerOptions options;
            options.rate_limit = 1000000;  // raised for the benchmark
            options.database = location;
            LeaderboardServerProcess server(options);
            Target target{"https://localhost:" + std::to_string(server.port()), server.ca_file()};
            for (bool post : {false, true}) {
                for (bool keep_alive : {true, false}) {
                    for (int clients : {1, 8, 64}) {
                        if (!settings.runs("load")) continue;
                        double cpu_before = cpu_ms(server.pid());
                        LoadResult result = run_load(target, post, clients, keep_alive, settings.seconds);
                        print_load(store_name, runs, post ? "POST" : "GET", clients, keep_alive,
                                   std::move(result), cpu_ms(server.pid()) - cpu_before);
                    }
                }
            }
            if (attack_here) {
                slow_client_attack(target, server.port(), settings.attack_seconds);
                header_flood(server.port(), server.pid());
                drip_flood(target, server.port(), settings.attack_seconds);
                lone_drips(server.port());
                idle_connections_at_the_limit(target, server.port());
                attacked = true;
            }
            server.stop();
        }
    }
    if (settings.runs("pages")) {
        for (const std::string& store_name : stores) {
            TempDir dir;
            std::string location = dir.file("pages.db");
            if (store_name == "PostgreSQL") {
                if (!postgres) postgres = std::make_unique<PostgresServer>(/*durable=*/true);
                location = postgres->create_database();
            }
            page_scenarios(store_name, location, settings.seconds);
        }
    }
    if (settings.runs("rules")) {
        for (const std::string& store_name : stores) {
            TempDir dir;
            std::string location = dir.file("rules.db");
            if (store_name == "PostgreSQL") {
                if (!postgres) postgres = std::make_unique<PostgresServer>(/*durable=*/true);
                location = postgres->create_database();
            }
            rules_scenarios(store_name, location, settings.seconds);
        }
    }
    if (settings.runs("stand")) {
        for (const std::string& store_name : stores) {
            TempDir dir;
            std::string location = dir.file("stand.db");
            if (store_name == "PostgreSQL") {
                if (!postgres) postgres = std::make_unique<PostgresServer>(/*durable=*/true);
                location = postgres->create_database();
            }
            stand_scenarios(store_name, location, settings.seconds, settings.quick);
        }
    }
    if (settings.runs("faults")) {
        if (!postgres) postgres = std::make_unique<PostgresServer>(/*durable=*/true);
        stalled_database(*postgres, 10);
        TempDir dir;
        kill_during_post_burst("SQLite", dir.file("burst.db"));
        kill_during_post_burst("PostgreSQL", postgres->create_database());
        unreachable_database_at_start();
    }
    curl_global_cleanup();
    return 0;
}
