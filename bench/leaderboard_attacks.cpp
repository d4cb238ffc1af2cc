// The scenarios that attack the server's connections (see leaderboard_scenarios.h).
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

#include "bench/leaderboard_scenarios.h"

namespace vornmark::server {

namespace {

// How an ordinary client fared: one line.
void print_ordinary(const char* what, std::vector<double>& latencies, std::size_t failures) {
    double worst = latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end());
    const auto over_second =
        std::count_if(latencies.begin(), latencies.end(), [](double ms) { return ms >= 1000; });
    std::printf("  %s: %zu, failed %zu, p50 %.2f ms, p99 %.2f ms, worst %.2f ms, %zu at or over 1 s\n", what,
                latencies.size(), failures, percentile(latencies, 0.5), percentile(latencies, 0.99), worst,
                static_cast<std::size_t>(over_second));
    std::fflush(stdout);
}

}  // namespace

void slow_client_attack(const Target& target, int port, double seconds) {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    std::vector<TlsDripper> slow(16);
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
            for (TlsDripper& s : slow) s.step(context, port);
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
        const Reply reply = one_request(target, "/api.php?type=single");
        latencies.push_back(reply.ms);
        worst = std::max(worst, reply.ms);
        if (reply.status != 200) ++failures;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    int slow_reconnects = 0;
    std::size_t slow_bytes = 0;
    for (TlsDripper& s : slow) {
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

void drip_flood(const Target& target, int port, double seconds) {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    std::vector<TlsDripper> drippers(1000);
    const auto opening = Clock::now();
    for (std::size_t i = 0; i < drippers.size(); ++i) {
        drippers[i].from = "127.0.5." + std::to_string(i / 50 + 1);
        drippers[i].open(context, port);
    }
    const double opened_in = seconds_since(opening);
    std::vector<double> latencies;
    std::size_t failures = 0;
    const auto begin = Clock::now();
    std::size_t next = 0;
    while (seconds_since(begin) < seconds) {
        // A byte from each every 3 s: a third of them each second, spread over it.
        const auto round = Clock::now();
        for (std::size_t k = 0; k < drippers.size() / 3 + 1; ++k)
            drippers[next++ % drippers.size()].step(context, port);
        const Reply reply = one_request(target, "/api.php?type=single", {}, "127.0.6.1");
        latencies.push_back(reply.ms);
        if (reply.status != 200) ++failures;
        std::this_thread::sleep_until(round + std::chrono::seconds(1));
    }
    int reconnects = 0;
    std::size_t bytes = 0;
    for (TlsDripper& d : drippers) {
        reconnects += d.reconnects;
        bytes += d.sent;
        d.drop();
    }
    SSL_CTX_free(context);
    std::printf(
        "drip flood, %.0f s: 1000 TLS connections from 20 addresses, a byte each every 3 s (opened in %.1f "
        "s; %zu bytes sent, %d reconnects after the server closed them)\n",
        seconds, opened_in, bytes, reconnects);
    print_ordinary("ordinary GETs from another address, new TLS connection each", latencies, failures);
}

void lone_drips(int port) {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    TlsDripper head_dripper{"127.0.7.1"};
    TlsDripper body_dripper{"127.0.7.2", "POST /api.php HTTP/1.1\r\nHost: localhost\r\nContent-Type: "
                                         "application/json\r\nContent-Length: 4000\r\n\r\n"};
    body_dripper.dripped = std::string(4000, ' ');
    head_dripper.open(context, port);
    body_dripper.open(context, port);
    const auto begin = Clock::now();
    double head_closed = -1, body_closed = -1;
    while (seconds_since(begin) < 70 && (head_closed < 0 || body_closed < 0)) {
        for (auto [dripper, closed] :
             {std::pair{&head_dripper, &head_closed}, std::pair{&body_dripper, &body_closed}}) {
            if (*closed >= 0) continue;
            if (dripper->fd < 0 || closed_by_peer(dripper->fd)) {
                *closed = seconds_since(begin);
            } else if (static_cast<int>(seconds_since(begin)) / 5 >= static_cast<int>(dripper->sent)) {
                SSL_write(dripper->ssl, dripper->dripped.data() + dripper->sent, 1);
                ++dripper->sent;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::printf(
        "lone drips, a byte every 5 s: a head closed after %.1f s, a body closed after %.1f s (-1: still "
        "open at 70 s)\n",
        head_closed, body_closed);
    std::fflush(stdout);
    head_dripper.drop();
    body_dripper.drop();
    SSL_CTX_free(context);
}

void idle_connections_at_the_limit(const Target& target, int port) {
    std::vector<int> idle;
    for (int i = 0; i < 1000; ++i)
        idle.push_back(connect_from(("127.0.8." + std::to_string(i / 50 + 1)).c_str(), port));
    std::vector<double> latencies;
    std::size_t failures = 0;
    for (int i = 0; i < 20; ++i) {
        const Reply reply = one_request(target, "/api.php?type=single", {}, "127.0.9.1");
        latencies.push_back(reply.ms);
        if (reply.status != 200) ++failures;
    }
    std::size_t closed = 0;
    for (int fd : idle) {
        if (fd < 0 || closed_by_peer(fd)) ++closed;
        if (fd >= 0) close(fd);
    }
    std::printf(
        "idle connections at the limit: 1000 silent TCP connections from 20 addresses (%zu closed to make "
        "room)\n",
        closed);
    print_ordinary("ordinary GETs after them", latencies, failures);
}

}  // namespace vornmark::server
