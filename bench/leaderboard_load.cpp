// leaderboard_load: the leaderboard server under load and under attack, on loopback.
//
// For each store (SQLite, PostgreSQL of its own) and each size (1,000 and 1,000,000
// stored runs, loaded in bulk), GET and POST at 1, 8 and 64 concurrent clients over
// TLS, with kept-alive connections and with a new connection per request; then two
// attacks: slow-header TLS clients with silent TCP connections while an ordinary
// client keeps asking, and a flood of oversized headers while the server's memory is
// watched. Prints requests per second and p50/p99 latency. Every scenario is bounded
// in requests and time; nothing leaves the machine.
//
// Usage: leaderboard_load [--seconds S] [--attack-seconds S] [--quick]
//   --seconds S         length of each load scenario (default 3)
//   --attack-seconds S  length of the slow-client attack (default 60)
//   --quick             1,000 runs only, SQLite only, short attack (a smoke run)

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

#include <curl/curl.h>
#include <openssl/ssl.h>

#include "server/store.h"
#include "tests/support/leaderboard_server.h"
#include "tests/support/postgres_server.h"
#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr std::size_t max_requests_per_scenario = 200000;

struct Settings {
    double seconds = 3;
    double attack_seconds = 60;
    bool quick = false;
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

// ---- the load client ---------------------------------------------------------

std::size_t discard(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

struct LoadResult {
    std::size_t requests = 0;
    std::size_t failures = 0;
    double seconds = 0;
    std::vector<double> latencies_ms;
};

double percentile(std::vector<double>& values, double p) {
    if (values.empty()) return 0;
    std::size_t at = std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
    return values[at];
}

struct Target {
    std::string base_url;  // https://localhost:PORT
    std::string ca_file;
};

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

LoadResult run_load(const Target& target, bool post, int clients, bool keep_alive, double seconds) {
    std::atomic<std::size_t> started{0};
    std::mutex merge;
    LoadResult total;
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    const auto begin = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            std::vector<double> latencies;
            std::size_t failures = 0;
            const std::string source = "host!127.0.1." + std::to_string(c + 1);
            curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
            CURL* curl = curl_easy_init();
            int n = 0;
            while (Clock::now() < deadline && started++ < max_requests_per_scenario) {
                std::string body = R"({"cpu_name":")" + processor_name(c * 7 + n % 50) + R"(","score":)" +
                                   std::to_string(1000 + n % 977) + R"(,"threads":1,"type":"single"})";
                ++n;
                if (!keep_alive) {
                    curl_easy_cleanup(curl);
                    curl = curl_easy_init();
                }
                std::string url = target.base_url + (post ? "/api.php" : "/api.php?type=single");
                if (keep_alive) curl_easy_reset(curl);
                set_common(curl, target, url, post, body);
                // Each client from a loopback address of its own, as separate machines would be.
                curl_easy_setopt(curl, CURLOPT_INTERFACE, source.c_str());
                curl_easy_setopt(curl, CURLOPT_HTTPHEADER, post ? headers : nullptr);
                auto t0 = Clock::now();
                CURLcode rc = curl_easy_perform(curl);
                long status = 0;
                curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
                latencies.push_back(Ms(Clock::now() - t0).count());
                if (rc != CURLE_OK || status != 200) ++failures;
            }
            curl_easy_cleanup(curl);
            curl_slist_free_all(headers);
            std::lock_guard lock(merge);
            total.requests += latencies.size();
            total.failures += failures;
            total.latencies_ms.insert(total.latencies_ms.end(), latencies.begin(), latencies.end());
        });
    }
    for (std::thread& t : threads) t.join();
    total.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    return total;
}

void print_load(const std::string& store, int runs, bool post, int clients, bool keep_alive, LoadResult r,
                double server_cpu_ms) {
    double p50 = percentile(r.latencies_ms, 0.50);
    double p99 = percentile(r.latencies_ms, 0.99);
    std::printf("%-10s %9d  %-4s %3d clients  %-10s %8.0f req/s  p50 %7.2f ms  p99 %7.2f ms  server CPU %.3f "
                "ms/req  (%zu requests, %zu failed)\n",
                store.c_str(), runs, post ? "POST" : "GET", clients, keep_alive ? "kept-alive" : "new-conn",
                r.requests / r.seconds, p50, p99, r.requests ? server_cpu_ms / r.requests : 0.0, r.requests,
                r.failures);
    std::fflush(stdout);
}

// ---- attackers ---------------------------------------------------------------

int connect_from(const char* from, int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool closed_by_peer(int fd) {
    pollfd p{fd, POLLIN | POLLRDHUP, 0};
    if (poll(&p, 1, 0) <= 0) return false;
    char byte;
    return (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) || recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
}

// A TLS client that finishes the handshake, then sends its headers a byte at a time.
struct SlowClient {
    std::string from;
    int fd = -1;
    SSL* ssl = nullptr;
    std::size_t sent = 0;
    int reconnects = 0;

    void drop() {
        if (ssl) SSL_free(ssl);
        if (fd >= 0) close(fd);
        ssl = nullptr;
        fd = -1;
    }
    void open(SSL_CTX* context, int port) {
        drop();
        fd = connect_from(from.c_str(), port);
        if (fd < 0) return;
        ssl = SSL_new(context);
        SSL_set_fd(ssl, fd);
        SSL_set_tlsext_host_name(ssl, "localhost");
        timeval timeout{2, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        if (SSL_connect(ssl) != 1) drop();
        sent = 0;
    }
    void step(SSL_CTX* context, int port) {
        static const std::string request =
            "GET /api.php?type=single HTTP/1.1\r\nHost: localhost\r\nX-Slow: " + std::string(100000, 'a');
        if (fd < 0 || closed_by_peer(fd)) {
            ++reconnects;
            open(context, port);
            if (fd < 0) return;
        }
        if (SSL_write(ssl, request.data() + (sent % request.size()), 1) == 1) ++sent;
    }
};

void slow_client_attack(const Target& target, int port, double seconds) {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    std::vector<SlowClient> slow(16);
    for (std::size_t i = 0; i < slow.size(); ++i) {
        slow[i].from = "127.0.2." + std::to_string(i + 1);
        slow[i].open(context, port);
    }
    std::vector<int> silent;
    std::vector<std::string> silent_from;
    for (int i = 0; i < 200; ++i) {
        silent_from.push_back("127.0.3." + std::to_string(i + 1));
        silent.push_back(connect_from(silent_from.back().c_str(), port));
    }
    int silent_reconnects = 0;

    std::vector<double> latencies;
    std::size_t failures = 0;
    double worst = 0;
    const auto begin = Clock::now();
    auto next_byte = begin;
    while (Clock::now() - begin < std::chrono::duration<double>(seconds)) {
        if (Clock::now() >= next_byte) {
            for (SlowClient& s : slow) s.step(context, port);
            for (std::size_t i = 0; i < silent.size(); ++i) {
                if (silent[i] < 0 || closed_by_peer(silent[i])) {
                    if (silent[i] >= 0) close(silent[i]);
                    silent[i] = connect_from(silent_from[i].c_str(), port);
                    ++silent_reconnects;
                }
            }
            next_byte += std::chrono::seconds(1);
        }
        // The ordinary client: a new TLS connection per request, as the program makes.
        CURL* curl = curl_easy_init();
        set_common(curl, target, target.base_url + "/api.php?type=single", false, "");
        auto t0 = Clock::now();
        CURLcode rc = curl_easy_perform(curl);
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        double ms = Ms(Clock::now() - t0).count();
        curl_easy_cleanup(curl);
        latencies.push_back(ms);
        worst = std::max(worst, ms);
        if (rc != CURLE_OK || status != 200) ++failures;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    int slow_reconnects = 0;
    std::size_t slow_bytes = 0;
    for (SlowClient& s : slow) {
        slow_reconnects += s.reconnects;
        slow_bytes += s.sent;
        s.drop();
    }
    for (int fd : silent) {
        if (fd >= 0) close(fd);
    }
    SSL_CTX_free(context);
    std::size_t over_100ms = static_cast<std::size_t>(
        std::count_if(latencies.begin(), latencies.end(), [](double v) { return v >= 100; }));
    std::printf("slow-client attack, %.0f s: 16 slow-header TLS clients (%zu bytes sent, %d reconnects), "
                "200 silent TCP connections (%d reconnects)\n",
                seconds, slow_bytes, slow_reconnects, silent_reconnects);
    std::printf(
        "  ordinary GETs, new TLS connection each: %zu, failed %zu, p50 %.2f ms, p99 %.2f ms, worst %.2f "
        "ms, %zu at or over 100 ms\n",
        latencies.size(), failures, percentile(latencies, 0.5), percentile(latencies, 0.99), worst,
        over_100ms);
    std::fflush(stdout);
}

// CPU time the process has used so far, user and system, in milliseconds.
double cpu_ms(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i >= 14) ticks += std::atof(field.c_str());
    }
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long resident_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

// 100 requests, each announcing 200 MB of headers; sending stops when the server
// answers or closes.
void header_flood(int port, pid_t server_pid) {
    long before = resident_kib(server_pid);
    long peak = before;
    std::vector<double> answer_ms;
    int got_431 = 0, closed = 0;
    const std::string chunk = "X-Flood-" + std::string(8000, 'f') + ": " + std::string(56000, 'v') + "\r\n";
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    for (int i = 0; i < 100; ++i) {
        int fd = connect_from("127.0.4.1", port);
        if (fd < 0) continue;
        SSL* ssl = SSL_new(context);
        SSL_set_fd(ssl, fd);
        timeval timeout{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        if (SSL_connect(ssl) == 1) {
            auto t0 = Clock::now();
            std::string head = "GET /api.php?type=single HTTP/1.1\r\nHost: localhost\r\n";
            SSL_write(ssl, head.data(), static_cast<int>(head.size()));
            std::size_t sent = 0;
            const std::size_t total = 200u * 1024 * 1024;
            while (sent < total) {
                if (SSL_write(ssl, chunk.data(), static_cast<int>(chunk.size())) <= 0) break;
                sent += chunk.size();
                pollfd p{fd, POLLIN, 0};
                if (poll(&p, 1, 0) > 0) break;  // the server answered or closed
                if (sent % (16 * chunk.size()) == 0) peak = std::max(peak, resident_kib(server_pid));
            }
            char reply[512] = {0};
            int n = SSL_read(ssl, reply, sizeof reply - 1);
            answer_ms.push_back(Ms(Clock::now() - t0).count());
            if (n > 0 && std::strstr(reply, " 431 ")) {
                ++got_431;
            } else {
                ++closed;
            }
        }
        SSL_free(ssl);
        close(fd);
        peak = std::max(peak, resident_kib(server_pid));
    }
    SSL_CTX_free(context);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    long after = resident_kib(server_pid);
    std::printf("header flood: 100 requests announcing 200 MB of headers each: %d got 431, %d closed; "
                "answer after p50 %.2f ms, p99 %.2f ms\n",
                got_431, closed, percentile(answer_ms, 0.5), percentile(answer_ms, 0.99));
    std::printf("  server resident memory: %.1f MB before, %.1f MB at most during, %.1f MB after\n",
                before / 1024.0, peak / 1024.0, after / 1024.0);
    std::fflush(stdout);
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
        } else {
            std::fprintf(stderr, "usage: leaderboard_load [--seconds S] [--attack-seconds S] [--quick]\n");
            std::exit(2);
        }
    }
    s.seconds = std::clamp(s.seconds, 0.5, 60.0);
    s.attack_seconds = std::clamp(s.attack_seconds, 1.0, 600.0);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings = parse(argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    std::printf("leaderboard_load: loopback, TLS, %g s per scenario; the load client shares the machine\n",
                settings.seconds);

    std::unique_ptr<PostgresServer> postgres;
    const std::vector<std::string> stores = settings.quick ? std::vector<std::string>{"SQLite"}
                                                           : std::vector<std::string>{"SQLite", "PostgreSQL"};
    const std::vector<int> sizes = settings.quick ? std::vector<int>{1000} : std::vector<int>{1000, 1000000};
    bool attacked = false;
    for (const std::string& store_name : stores) {
        for (int runs : sizes) {
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
                        std::chrono::duration<double>(Clock::now() - load_begin).count());

            LeaderboardServerOptions options;
            options.rate_limit = 1000000;  // raised for the benchmark
            options.database = location;
            LeaderboardServerProcess server(options);
            Target target{"https://localhost:" + std::to_string(server.port()), server.ca_file()};
            for (bool post : {false, true}) {
                for (bool keep_alive : {true, false}) {
                    for (int clients : {1, 8, 64}) {
                        double cpu_before = cpu_ms(server.pid());
                        LoadResult result = run_load(target, post, clients, keep_alive, settings.seconds);
                        print_load(store_name, runs, post, clients, keep_alive, std::move(result),
                                   cpu_ms(server.pid()) - cpu_before);
                    }
                }
            }
            if (!attacked && runs == sizes.back()) {
                slow_client_attack(target, server.port(), settings.attack_seconds);
                header_flood(server.port(), server.pid());
                attacked = true;
            }
            server.stop();
        }
    }
    curl_global_cleanup();
    return 0;
}
