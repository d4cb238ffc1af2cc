// vornmark-leaderboard: the self-hostable leaderboard server for Vornmark.

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "server/api.h"
#include "server/http_server.h"
#include "server/import.h"
#include "server/listen_socket.h"
#include "server/log.h"
#include "server/options.h"
#include "server/postgres_store.h"
#include "server/store.h"

namespace {

std::string host_for_url(const std::string& host) {
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

bool read_text_file(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return static_cast<bool>(in) || in.eof();
}

// Every connection is a descriptor: take what the system allows, and keep the
// connection limit below it with room for the store and the log.
unsigned connection_limit_within_descriptors(unsigned wanted) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return wanted;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    rlim_t room = limit.rlim_cur > 128 ? limit.rlim_cur - 64 : 64;
    return static_cast<unsigned>(std::min<rlim_t>(wanted, room));
}

int fail(const std::string& message) {
    log_line("vornmark-leaderboard: " + message);
    return 1;
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

    // Signals: SIGINT and SIGTERM are blocked in every thread (the HTTP library's
    // threads inherit the mask) and taken by the main thread with sigwait; a client
    // that hangs up must not end the process through SIGPIPE.
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

    if (!options.import_sqlite.empty()) {
        try {
            std::unique_ptr<Store> target = open_store(options.db_path, options.rate_limit);
            std::int64_t copied = import_sqlite_runs(options.import_sqlite, *target);
            log_line("vornmark-leaderboard: copied " + std::to_string(copied) + " runs from " +
                     options.import_sqlite + " into " + redacted_location(options.db_path));
            return 0;
        } catch (const StoreError& e) {
            return fail(std::string("import failed, nothing copied: ") + e.what());
        }
    }

    // Certificate and key, read before anything else is opened.
    HttpSettings settings;
    settings.tls = !options.plain_http;
    if (settings.tls) {
        if (!read_text_file(options.cert_file, settings.cert_pem)) {
            return fail("cannot read the certificate " + options.cert_file);
        }
        if (!read_text_file(options.key_file, settings.key_pem)) {
            return fail("cannot read the key " + options.key_file);
        }
    }

    // The port: a second server on a port in use ends here.
    ListenSocket listening = open_listen_socket(options.host, options.port);
    if (listening.fd < 0) {
        return fail("cannot listen on " + host_for_url(options.host) + ":" + std::to_string(options.port) +
                    ": " + listening.error);
    }
    settings.listen_fd = listening.fd;
    settings.ipv6 = listening.ipv6;
    settings.limits.connections =
        connection_limit_within_descriptors(static_cast<unsigned>(options.max_connections));
    settings.limits.connections_per_address = static_cast<unsigned>(options.connections_per_address);
    settings.trust_forwarded_for = options.trust_forwarded_for;

    // Store.
    std::unique_ptr<Store> store;
    try {
        store = open_store(options.db_path, options.rate_limit);
    } catch (const StoreError& e) {
        close(listening.fd);
        return fail(e.what());
    }
    Api api(*store);

    // Serve until SIGINT or SIGTERM.
    std::unique_ptr<HttpServer> server;
    try {
        server = std::make_unique<HttpServer>(settings, api);
    } catch (const std::exception& e) {
        close(listening.fd);
        return fail(settings.tls ? "cannot serve HTTPS with the certificate " + options.cert_file +
                                       " and the key " + options.key_file + ": " + e.what()
                                 : std::string(e.what()));
    }
    log_line(std::string("vornmark-leaderboard: listening on ") + (settings.tls ? "https://" : "http://") +
             host_for_url(options.host) + ":" + std::to_string(listening.port) + ", database " +
             redacted_location(options.db_path));

    int signal_number = 0;
    while (sigwait(&stop_signals, &signal_number) != 0) {
    }
    log_line(std::string("vornmark-leaderboard: ") + (signal_number == SIGINT ? "SIGINT" : "SIGTERM") +
             ", stopping");

    // Clean-up, in reverse order.
    server.reset();
    close(listening.fd);
    store.reset();
    log_line("vornmark-leaderboard: stopped");
    return 0;
}
