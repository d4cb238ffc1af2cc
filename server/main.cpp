// vornmark-leaderboard: the self-hostable leaderboard server for Vornmark.

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "server/api.h"
#include "server/httplib_adapter.h"
#include "server/log.h"
#include "server/options.h"
#include "server/postgres_store.h"
#include "server/store.h"
#include "server/warm_up.h"

namespace {

std::unique_ptr<httplib::Server> make_server(const ServerOptions& options) {
    if (options.plain_http) return std::make_unique<httplib::Server>();
    return std::make_unique<httplib::SSLServer>(options.cert_file.c_str(), options.key_file.c_str());
}

std::string host_for_url(const std::string& host) {
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

}  // namespace

int main(int argc, char** argv) {
    // Flags.
    ParsedOptions parsed = parse_options(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "vornmark-leaderboard: %s (see --help)\n", parsed.error.c_str());
        return 2;
    }
    const ServerOptions& options = parsed.options;
    if (options.show_help) {
        std::fputs(usage_text().c_str(), stdout);
        return 0;
    }

    // Signals: SIGINT and SIGTERM are blocked in every thread (the library's workers
    // inherit the mask) and taken by one thread below with sigwait; a client that hangs
    // up must not end the process through SIGPIPE.
    // A shell starts background jobs with SIGINT ignored, and an ignored signal never
    // reaches sigwait, so both get their default disposition back first.
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    // Store.
    std::unique_ptr<Store> store;
    try {
        store = open_store(options.db_path, options.rate_limit);
    } catch (const StoreError& e) {
        log_line(std::string("vornmark-leaderboard: ") + e.what());
        return 1;
    }
    Api api(*store);

    // Server.
    std::unique_ptr<httplib::Server> server = make_server(options);
    if (!server->is_valid()) {
        log_line("vornmark-leaderboard: cannot load the certificate " + options.cert_file + " or the key " +
                 options.key_file);
        return 1;
    }
    warm_up_request_parsing(*server);
    install_api(*server, api);
    server->set_payload_max_length(max_body_bytes);
    // Short idle time-outs keep a stop from waiting long on open keep-alive connections.
    server->set_keep_alive_timeout(2);
    server->set_read_timeout(5, 0);
    server->set_write_timeout(5, 0);

    int port = options.port;
    if (port == 0) {
        port = server->bind_to_any_port(options.host);
    } else if (!server->bind_to_port(options.host, port)) {
        port = -1;
    }
    if (port <= 0) {
        log_line("vornmark-leaderboard: cannot listen on " + options.host + ":" +
                 std::to_string(options.port));
        return 1;
    }
    log_line(std::string("vornmark-leaderboard: listening on ") +
             (options.plain_http ? "http://" : "https://") + host_for_url(options.host) + ":" +
             std::to_string(port) + ", database " + redacted_location(options.db_path));

    // Wait: the signal thread stops the server; the main thread serves until then.
    std::atomic<bool> serving_done{false};
    std::atomic<bool> stopped_by_signal{false};
    std::thread signal_thread([&] {
        int signal_number = 0;
        sigwait(&stop_signals, &signal_number);
        if (serving_done) return;  // woken by the main thread below
        stopped_by_signal = true;
        log_line(std::string("vornmark-leaderboard: ") + (signal_number == SIGINT ? "SIGINT" : "SIGTERM") +
                 ", stopping");
        // stop() has no effect before the accept loop has started; wait for it.
        while (!serving_done && !server->is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!serving_done) server->stop();
    });
    bool served = server->listen_after_bind();
    serving_done = true;
    pthread_kill(signal_thread.native_handle(), SIGTERM);
    signal_thread.join();

    // Clean-up, in reverse order.
    server.reset();
    store.reset();
    if (!served && !stopped_by_signal) {
        log_line("vornmark-leaderboard: the server stopped unexpectedly");
        return 1;
    }
    log_line("vornmark-leaderboard: stopped");
    return 0;
}
