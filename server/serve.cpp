#include "server/serve.h"

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "server/address_unit.h"
#include "server/api.h"
#include "server/http_server.h"
#include "server/import.h"
#include "server/listen_socket.h"
#include "server/log.h"
#include "server/pg_row_listener.h"
#include "server/store_change_watch.h"
#include "server/store.h"
#include "server/store_factory.h"
#include "server/store_workers.h"
#include "server/timer.h"

namespace vornmark::server {

namespace {

// One worker per connection a PostgreSQL store holds.
constexpr std::size_t store_workers = 4;

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

// Every connection takes the library's descriptor and the guard's: take what the system
// allows, and keep the connection limit within it with room for the store and the log.
unsigned connection_limit_within_descriptors(unsigned wanted) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return wanted;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    // The library accepts a quarter more than the limit, briefly, while the guard closes some.
    rlim_t room = limit.rlim_cur > 192 ? (limit.rlim_cur - 64) * 2 / 5 : 64;
    return static_cast<unsigned>(std::min<rlim_t>(wanted, room));
}

int fail(const std::string& message) {
    log_line("vornmark-leaderboard: " + one_line(message));
    return 1;
}

// SIGINT and SIGTERM are taken by the main thread with sigwait; blocked before any
// thread starts, since threads inherit the mask.
sigset_t block_stop_signals() {
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    return stop_signals;
}

}  // namespace

BoardRules board_rules(const ServerOptions& options) {
    BoardRules rules;
    rules.per_minute = options.rate_limit;
    rules.runs_per_address = options.runs_per_address;
    rules.new_names_per_day = options.new_names_per_day;
    rules.min_addresses = options.min_addresses;
    rules.max_score_per_thread = options.max_score_per_thread;
    rules.outliers.factor = options.outlier_factor;
    rules.outliers.min_runs = options.outlier_min_runs;
    rules.private_board = options.private_board;
    return rules;
}

int import_sqlite(const ServerOptions& options) {
    try {
        std::unique_ptr<Store> target = open_store(options.db_path, board_rules(options));
        std::int64_t copied = import_sqlite_runs(options.import_sqlite, *target);
        log_line("vornmark-leaderboard: copied " + std::to_string(copied) + " runs from " +
                 options.import_sqlite + " into " + redacted_location(options.db_path));
        return 0;
    } catch (const StoreError& e) {
        return fail(std::string("import failed, nothing copied: ") + e.what());
    }
}

int serve(const ServerOptions& options) {
    // Until serving starts, SIGINT and SIGTERM end the process at once (a shell starts
    // background jobs with SIGINT ignored, so both get their default back first).
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);

    HttpSettings settings;
    settings.tls = !options.plain_http;
    if (settings.tls && !read_text_file(options.cert_file, settings.cert_pem)) {
        return fail("cannot read the certificate " + options.cert_file);
    }
    if (settings.tls && !read_text_file(options.key_file, settings.key_pem)) {
        return fail("cannot read the key " + options.key_file);
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
    settings.limits.request_seconds = static_cast<unsigned>(options.request_seconds);
    settings.trust_forwarded_for = options.trust_forwarded_for;

    // The store, checked writable; a database that does not answer ends this within 10 s.
    std::unique_ptr<Store> store;
    try {
        store = open_store(options.db_path, board_rules(options));
    } catch (const StoreError& e) {
        close(listening.fd);
        return fail(e.what());
    }

    std::optional<AddressKey> key;
    try {
        key = AddressKey::load_or_create(options.address_key);
    } catch (const std::exception& e) {
        close(listening.fd);
        return fail(e.what());
    }

    const sigset_t stop_signals = block_stop_signals();
    Timer timer;
    StoreWorkers workers(store_workers);
    Api api(*store, workers, timer, *key, options.standing_limit);
    // Several processes may share a PostgreSQL database: the rows they change are heard of, so
    // that the answers kept about rows can be kept until they change.
    // An SQLite file's other writers (the operator's commands) are noticed by asking it.
    std::unique_ptr<PgRowListener> row_notices;
    std::unique_ptr<StoreChangeWatch> change_watch;
    if (is_postgresql_location(options.db_path)) {
        row_notices = std::make_unique<PgRowListener>(options.db_path, api);
        api.publish_changes_to(*row_notices);
    } else {
        change_watch = std::make_unique<StoreChangeWatch>(*store, api);
    }
    std::unique_ptr<HttpServer> server;
    try {
        api.fill_standings();
        server = std::make_unique<HttpServer>(settings, api, timer);
    } catch (const StoreError& e) {
        close(listening.fd);
        return fail(std::string("cannot read the standings: ") + e.what());
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

    // Whatever the database does: no new connections, every store call gives up at
    // once, every request still waiting is answered, then the connections close.
    server->stop_accepting();
    change_watch.reset();
    store->interrupt();
    workers.stop();
    timer.stop();
    server->wait_for_answers();
    server.reset();
    // After the last submission, which publishes to it.
    row_notices.reset();
    close(listening.fd);
    log_line("vornmark-leaderboard: " + api.answered_from_memory());
    log_line("vornmark-leaderboard: stopped");
    return 0;
}

}  // namespace vornmark::server
