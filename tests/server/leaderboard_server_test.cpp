// The real vornmark-leaderboard process, over verified TLS on loopback.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <sqlite3.h>
#include <thread>
#include <vector>

#include <libpq-fe.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "server/cpu_name.h"
#include "server/postgres_store.h"
#include "server/sqlite_store.h"
#include "tests/server/store_fixture.h"
#include "tests/server/test_http_client.h"
#include "tests/support/leaderboard_server.h"
#include "tests/support/silent_port.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace vornmark::server {

namespace {

std::string base_url(const LeaderboardServerProcess& server) {
    // "localhost", so that the host name check of the certificate is exercised too.
    std::string url = server.url();
    return url.substr(0, url.find("127.0.0.1")) + "localhost:" + std::to_string(server.port());
}

TestRequest request_to(const LeaderboardServerProcess& server, const std::string& target) {
    TestRequest request;
    request.url = base_url(server) + target;
    if (server.url().rfind("https://", 0) == 0) request.ca_file = server.ca_file();
    return request;
}

TestReply get(const LeaderboardServerProcess& server, const std::string& target) {
    return send_request(request_to(server, target));
}

TestReply post(const LeaderboardServerProcess& server, const std::string& body) {
    TestRequest request = request_to(server, "/api.php");
    request.method = "POST";
    request.body = body;
    request.headers = {"Content-Type: application/json"};
    return send_request(request);
}

std::string submission(const std::string& cpu, int score, int threads = 1) {
    return nlohmann::json{{"cpu_name", cpu},
                          {"score", score},
                          {"threads", threads},
                          {"type", threads == 1 ? "single" : "multi"}}
        .dump();
}

nlohmann::json json_of(const TestReply& reply) {
    return nlohmann::json::parse(reply.body, nullptr, false);
}

// The standings of a type as the server sends them; empty on any failure.
nlohmann::json standings(const LeaderboardServerProcess& server, const std::string& type) {
    TestReply reply = get(server, "/api.php?type=" + type);
    EXPECT_EQ(reply.status, 200) << reply.error << reply.body;
    nlohmann::json document = json_of(reply);
    if (!document.is_object() || !document.contains("leaderboard")) return nlohmann::json::array();
    return document["leaderboard"];
}

// Where a run of `score` stands among the multi-core runs of `cpu`; null on any failure.
nlohmann::json stand(const LeaderboardServerProcess& server, const std::string& cpu, int score = 100) {
    std::string query;
    for (char ch : cpu) query += ch == ' ' ? std::string("%20") : std::string(1, ch);
    const TestReply reply = get(server, "/api.php?type=multi&cpu=" + query + "&score=" + std::to_string(score));
    return reply.status == 200 ? json_of(reply) : nlohmann::json();
}

int runs_standing(const LeaderboardServerProcess& server, const std::string& cpu) {
    const nlohmann::json answer = stand(server, cpu);
    return answer.is_object() && answer.contains("runs") ? answer["runs"].get<int>() : -1;
}

// The status of the processor's multi-core page.
long page_status(const LeaderboardServerProcess& server, const std::string& cpu) {
    std::string query;
    for (char ch : cpu) query += ch == ' ' ? std::string("%20") : std::string(1, ch);
    return get(server, "/cpu?type=multi&cpu=" + query).status;
}

// A server on PostgreSQL hears of the rows changed elsewhere once it says it listens.
void wait_for_notices(const LeaderboardServerProcess& server) {
    EXPECT_TRUE(wait_until([&] { return server.log_text().find("row change notices: listening") != std::string::npos; }))
        << server.log_text();
}

// Exit code 0 also means no sanitizer report ended the server.
void expect_clean_stop(LeaderboardServerProcess& server) {
    EXPECT_EQ(server.stop(), 0) << server.log_text();
}

void expect_accepted(const TestReply& reply) {
    EXPECT_EQ(reply.status, 200) << reply.error;
    EXPECT_EQ(json_of(reply), nlohmann::json({{"ok", true}})) << reply.body;
}

// A connection of the test's own to the server's PostgreSQL database.
class PgSession {
public:
    explicit PgSession(const std::string& uri) : connection_(PQconnectdb(uri.c_str())) {
        EXPECT_EQ(PQstatus(connection_), CONNECTION_OK) << PQerrorMessage(connection_);
    }
    ~PgSession() { PQfinish(connection_); }
    PgSession(const PgSession&) = delete;
    PgSession& operator=(const PgSession&) = delete;

    void run(const std::string& statements) {
        PGresult* result = PQexec(connection_, statements.c_str());
        EXPECT_TRUE(PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK)
            << statements << ": " << PQerrorMessage(connection_);
        PQclear(result);
    }
    // Statements of other sessions waiting for a lock.
    int count_waiting_for_locks() {
        PGresult* result =
            PQexec(connection_, "SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'");
        int count = PQresultStatus(result) == PGRES_TUPLES_OK ? std::atoi(PQgetvalue(result, 0, 0)) : -1;
        PQclear(result);
        return count;
    }

private:
    PGconn* connection_;
};

// The same server against each store: an SQLite file of its own or a fresh database
// on the test's PostgreSQL.
class LeaderboardServerWithStore : public testing::TestWithParam<StoreKind> {
protected:
    LeaderboardServerOptions options(int rate_limit = 100000) {
        LeaderboardServerOptions o;
        o.rate_limit = rate_limit;
        if (GetParam() == StoreKind::postgresql) o.database = shared_postgres().create_database();
        return o;
    }
};

}  // namespace

TEST(LeaderboardServer, ServesEmptyStandingsForBothTypes) {
    LeaderboardServerProcess server;
    for (const char* type : {"single", "multi"}) {
        TestReply reply = get(server, std::string("/api.php?type=") + type);
        EXPECT_EQ(reply.status, 200) << reply.error;
        EXPECT_EQ(json_of(reply), nlohmann::json::parse(R"({"leaderboard":[]})")) << reply.body;
    }
    expect_clean_stop(server);
}

// Paths beside the API are the web pages' (an HTML 404 of theirs, tested with the pages).
TEST(LeaderboardServer, RefusesOtherTypesAndMethodsWithJsonErrors) {
    LeaderboardServerProcess server;
    for (const char* target : {"/api.php", "/api.php?type=", "/api.php?type=Single", "/api.php?type=both"}) {
        TestReply reply = get(server, target);
        EXPECT_EQ(reply.status, 400) << target;
        EXPECT_TRUE(json_of(reply).contains("error")) << target << ": " << reply.body;
    }

    EXPECT_EQ(get(server, "/leaderboard?type=single").status, 404);
    EXPECT_EQ(get(server, "/api_php?type=single").status, 404);

    for (const char* method : {"PUT", "DELETE"}) {
        TestRequest other = request_to(server, "/api.php");
        other.method = method;
        other.headers = {"Content-Length: 0"};
        TestReply refused = send_request(other);
        EXPECT_EQ(refused.status, 405) << method;
        EXPECT_TRUE(json_of(refused).contains("error")) << method << ": " << refused.body;
    }
    expect_clean_stop(server);
}

TEST_P(LeaderboardServerWithStore, AcceptedSubmissionsAppearInTheStandings) {
    LeaderboardServerProcess server(options());
    const std::string cpu = "Intel\xC2\xAE Core\xE2\x84\xA2 i7-12700K";
    expect_accepted(post(server, submission(cpu, 1000)));

    expect_accepted(post(server, submission(cpu, 1003)));
    expect_accepted(post(server, submission("AMD Ryzen 5 5600X", 2000)));
    expect_accepted(post(server, submission("AMD Ryzen 5 5600X", 9000, 12)));

    nlohmann::json single = standings(server, "single");
    ASSERT_EQ(single.size(), 2u) << single.dump();
    EXPECT_EQ(single[0], nlohmann::json({{"cpu", "AMD Ryzen 5 5600X"}, {"avg_score", 2000}, {"runs", 1}}));
    EXPECT_EQ(single[1], nlohmann::json({{"cpu", cpu}, {"avg_score", 1001}, {"runs", 2}}));

    nlohmann::json multi = standings(server, "multi");
    ASSERT_EQ(multi.size(), 1u) << multi.dump();
    EXPECT_EQ(multi[0]["avg_score"], 9000);
    EXPECT_EQ(multi[0]["runs"], 1);

    // The request log names address, method, path, status and size.
    EXPECT_NE(server.log_text().find("127.0.0.1 POST /api.php 200 11"), std::string::npos)
        << server.log_text();
    expect_clean_stop(server);
}

TEST(LeaderboardServer, InvalidSubmissionsGetOkFalseWithTheReasonAndAreNotStored) {
    LeaderboardServerProcess server;
    struct Case {
        std::string body;
        std::string reason;
    };
    const Case cases[] = {
        {"not json at all", "JSON"},
        {"", "JSON"},
        {"[1,2,3]", "object"},
        {R"({"cpu_name":"X","score":12.5,"threads":1,"type":"single"})", "score"},
        {R"({"cpu_name":"X","score":100,"threads":true,"type":"single"})", "threads"},
        {R"({"cpu_name":"X","score":100,"threads":4,"type":"single"})", "type"},
        {R"({"cpu_name":"","score":100,"threads":1,"type":"single"})", "cpu_name"},
        {R"({"cpu_name":"A\u0007B","score":100,"threads":1,"type":"single"})", "control"},
        {"{\"cpu_name\":\"\xFF\",\"score\":100,\"threads\":1,\"type\":\"single\"}", "JSON"},
    };
    for (const Case& c : cases) {
        TestReply reply = post(server, c.body);
        EXPECT_EQ(reply.status, 200) << c.body << ": " << reply.error;
        nlohmann::json answer = json_of(reply);
        EXPECT_EQ(answer.value("ok", true), false) << c.body << ": " << reply.body;
        EXPECT_NE(answer.value("error", std::string()).find(c.reason), std::string::npos)
            << c.body << ": " << reply.body;
    }
    EXPECT_TRUE(standings(server, "single").empty());
    expect_clean_stop(server);
}

TEST(LeaderboardServer, BodiesOverFourKibibytesGet413) {
    LeaderboardServerProcess server;
    // Exactly 4096 bytes is still read: a valid body padded with spaces.
    std::string fits = submission("Padded CPU", 77);
    fits.append(4096 - fits.size(), ' ');
    expect_accepted(post(server, fits));

    std::string too_big = fits + " ";
    TestReply reply = post(server, too_big);
    EXPECT_EQ(reply.status, 413) << reply.error << reply.body;

    // Without a declared length the limit holds as well.
    TestRequest chunked = request_to(server, "/api.php");
    chunked.method = "POST";
    chunked.chunked = true;
    chunked.body = std::string(64 * 1024, ' ') + submission("Chunked CPU", 1);
    TestReply chunked_reply = send_request(chunked);
    EXPECT_EQ(chunked_reply.status, 413) << chunked_reply.error << chunked_reply.body;

    nlohmann::json single = standings(server, "single");
    ASSERT_EQ(single.size(), 1u) << single.dump();
    EXPECT_EQ(single[0]["cpu"], "Padded CPU");
    expect_clean_stop(server);
}

TEST_P(LeaderboardServerWithStore, SubmissionsBeyondTheRateLimitGet429) {
    LeaderboardServerProcess server(options(/*rate_limit=*/3));
    for (int i = 0; i < 3; ++i) expect_accepted(post(server, submission("Busy CPU", 100 + i)));
    TestReply refused = post(server, submission("Busy CPU", 999));
    EXPECT_EQ(refused.status, 429) << refused.body;
    EXPECT_TRUE(json_of(refused).contains("error")) << refused.body;

    // Reading the standings is not limited, and the refused run was not stored.
    nlohmann::json single = standings(server, "single");
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0]["runs"], 3);
    expect_clean_stop(server);
}

TEST_P(LeaderboardServerWithStore, ConcurrentSubmissionsAreAllStored) {
    LeaderboardServerProcess server(options());
    std::vector<std::thread> clients;
    std::atomic<int> accepted{0};
    for (int c = 0; c < 4; ++c) {
        clients.emplace_back([&server, &accepted, c] {
            for (int i = 0; i < 8; ++i) {
                TestReply reply = post(server, submission("Parallel CPU", 100 + c, 4));
                if (reply.status == 200 && json_of(reply).value("ok", false)) ++accepted;
            }
        });
    }
    for (std::thread& t : clients) t.join();
    EXPECT_EQ(accepted, 32);
    nlohmann::json multi = standings(server, "multi");
    ASSERT_EQ(multi.size(), 1u);
    EXPECT_EQ(multi[0]["runs"], 32);
    EXPECT_EQ(multi[0]["avg_score"], 101);  // (100 + 101 + 102 + 103) / 4 = 101.5
    expect_clean_stop(server);
}

TEST(LeaderboardServer, APublicBoardSaysWhichStoredRunsDoNotCountAndRefusesImplausibleOnes) {
    LeaderboardServerOptions public_board;
    public_board.public_board = true;
    LeaderboardServerProcess server(public_board);
    for (int i = 0; i < 5; ++i) expect_accepted(post(server, submission("Counted CPU", 1000, 8)));
    EXPECT_EQ(post(server, submission("Counted CPU", 1000, 8)).body,
              R"({"ok":true,"counted":false,"why":"more than 5 runs of this processor from this address today: )"
              R"(stored, not counted"})");
    EXPECT_EQ(post(server, submission("Counted CPU", 4321)).body,
              R"({"error":"score per thread 4321 is above 2000, more than any processor reaches","ok":false})");
    nlohmann::json multi = standings(server, "multi");
    ASSERT_EQ(multi.size(), 1u);
    EXPECT_EQ(multi[0]["runs"], 5);
    expect_clean_stop(server);
}

// A plain TCP connection to the server from the loopback address `from`; -1 when refused.
int connect_from(const LeaderboardServerProcess& server, const char* from) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(server.port()));
    inet_pton(AF_INET, server.host().c_str(), &remote.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Whether the server closed the connection within `wait`.
bool closed_by_server(int fd, int wait_ms) {
    pollfd p{fd, POLLIN, 0};
    char byte = 0;
    return poll(&p, 1, wait_ms) == 1 && recv(fd, &byte, 1, 0) <= 0;
}

TEST(LeaderboardServer, ConnectionsAreLimitedPerAddressUnit) {
    LeaderboardServerOptions limited;
    limited.plain_http = true;
    limited.extra_args = {"--connections-per-address", "2"};
    LeaderboardServerProcess server(limited);
    std::vector<int> open;
    // Not from 127.0.0.1, whose connections from starting the server may not all be closed yet.
    for (const char* from : {"127.0.0.3", "127.0.0.3", "127.0.0.3", "127.0.0.4"}) open.push_back(connect_from(server, from));
    for (int fd : open) ASSERT_GE(fd, 0);
    // One of the three from one address is shut: the one the server's threads count third.
    std::vector<int> shut;
    EXPECT_TRUE(wait_until(
        [&] {
            shut.clear();
            for (int i = 0; i < 3; ++i)
                if (closed_by_server(open[i], 0)) shut.push_back(i);
            return !shut.empty();
        },
        std::chrono::seconds(10)));
    ASSERT_EQ(shut.size(), 1u);
    for (int i = 0; i < 4; ++i) {  // another address is another unit
        if (i != shut[0]) EXPECT_FALSE(closed_by_server(open[i], 200)) << i;
    }
    for (int fd : open) close(fd);
    expect_clean_stop(server);
}

TEST(LeaderboardServer, KeepsSubmissionsAcrossARestart) {
    LeaderboardServerProcess server;
    expect_accepted(post(server, submission("Persistent CPU", 4321)));
    EXPECT_EQ(server.stop(), 0) << server.log_text();
    server.restart();
    nlohmann::json single = standings(server, "single");
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0]["cpu"], "Persistent CPU");
}

TEST_P(LeaderboardServerWithStore, AKillRightAfterTheReplyLosesNothing) {
    LeaderboardServerProcess server(options());
    for (int i = 1; i <= 5; ++i) {
        expect_accepted(post(server, submission("Killed CPU", 100 * i)));
        server.kill_hard();
        server.restart();
    }
    nlohmann::json single = standings(server, "single");
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0]["runs"], 5);
    EXPECT_EQ(single[0]["avg_score"], 300);
    expect_clean_stop(server);
}

INSTANTIATE_TEST_SUITE_P(, LeaderboardServerWithStore,
                         testing::Values(StoreKind::sqlite, StoreKind::postgresql), store_kind_name);

TEST(LeaderboardServer, TwoProcessesOnOnePostgresDatabaseShareTheLimitAndAKillLosesNothing) {
    TempDir keys;
    LeaderboardServerOptions shared;
    shared.rate_limit = 4;
    shared.database = shared_postgres().create_database();
    shared.address_key = keys.file("address.key");
    LeaderboardServerProcess first(shared);
    LeaderboardServerProcess second(shared);
    for (int i = 0; i < 2; ++i) {
        expect_accepted(post(first, submission("Shared CPU", 100)));
        expect_accepted(post(second, submission("Shared CPU", 300)));
    }
    // The fifth submission from this address within the minute, whichever process gets it.
    EXPECT_EQ(post(first, submission("Shared CPU", 999)).status, 429);
    EXPECT_EQ(post(second, submission("Shared CPU", 999)).status, 429);

    first.kill_hard();
    nlohmann::json single = standings(second, "single");
    ASSERT_EQ(single.size(), 1u) << single.dump();
    EXPECT_EQ(single[0]["runs"], 4);
    EXPECT_EQ(single[0]["avg_score"], 200);
    expect_clean_stop(second);
}

// Each process keeps what it read of a row until the row changes: a run stored through one shows
// in the other's answers once the notice arrives, and in its own at once.
TEST(LeaderboardServer, TwoProcessesOnOnePostgresDatabaseSeeEachOthersRuns) {
    TempDir keys;
    LeaderboardServerOptions shared;
    shared.database = shared_postgres().create_database();
    shared.address_key = keys.file("address.key");
    shared.extra_args = {"--standing-limit", "1000000"};  // asked until the change shows
    LeaderboardServerProcess first(shared);
    LeaderboardServerProcess second(shared);
    wait_for_notices(second);
    // Kept by the second process: no runs, no page.
    EXPECT_EQ(runs_standing(second, "Noticed CPU"), 0);
    EXPECT_EQ(page_status(second, "Noticed CPU"), 404);
    EXPECT_EQ(runs_standing(second, "Also Noticed CPU"), 0);
    // Both changes mostly go in one notice.
    expect_accepted(post(first, submission("Noticed CPU", 100, 8)));
    expect_accepted(post(first, submission("Also Noticed CPU", 100, 8)));
    EXPECT_TRUE(wait_until([&] { return runs_standing(second, "Noticed CPU") == 1; }));
    EXPECT_TRUE(wait_until([&] { return runs_standing(second, "Also Noticed CPU") == 1; }));
    EXPECT_TRUE(wait_until([&] { return page_status(second, "Noticed CPU") == 200; }));
    expect_accepted(post(first, submission("Noticed CPU", 300, 8)));
    EXPECT_TRUE(wait_until([&] { return runs_standing(second, "Noticed CPU") == 2; }));
    expect_accepted(post(second, submission("Noticed CPU", 200, 8)));
    EXPECT_EQ(runs_standing(second, "Noticed CPU"), 3);
    expect_clean_stop(first);
    expect_clean_stop(second);
}

// A change no notice tells of (the row hidden by hand) shows once the listening connection is
// lost: what was kept is read again.
TEST(LeaderboardServer, WhenItsListeningConnectionIsLostAServerReadsAgainWhatItKept) {
    LeaderboardServerOptions options;
    options.database = shared_postgres().create_database();
    options.extra_args = {"--standing-limit", "1000000"};  // asked until the change shows
    LeaderboardServerProcess server(options);
    wait_for_notices(server);
    expect_accepted(post(server, submission("Unnoticed CPU", 100, 8)));
    EXPECT_EQ(runs_standing(server, "Unnoticed CPU"), 1);
    EXPECT_EQ(page_status(server, "Unnoticed CPU"), 200);
    PgSession database(options.database);
    database.run("INSERT INTO hidden_rows (cpu_key, cpu_name) VALUES ('" +
                 cpu_name_key(canonical_cpu_name("Unnoticed CPU")) +
                 "', 'Unnoticed CPU'); SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                 " WHERE application_name = 'vornmark row notices' AND datname = current_database()");
    EXPECT_TRUE(wait_until([&] { return runs_standing(server, "Unnoticed CPU") == 0; }));
    EXPECT_TRUE(wait_until([&] { return page_status(server, "Unnoticed CPU") == 404; }));
    EXPECT_TRUE(wait_until([&] {
        return server.log_text().find("row change notices: listening again") != std::string::npos;
    })) << server.log_text();
    expect_clean_stop(server);
}

TEST(LeaderboardServer, BehindATrustedProxyTheLimitCountsTheAddressTheProxyAdded) {
    LeaderboardServerOptions options;
    options.plain_http = true;
    options.rate_limit = 2;
    options.extra_args = {"--trust-forwarded-for"};
    LeaderboardServerProcess server(options);
    auto post_from = [&](const std::string& forwarded) {
        TestRequest request = request_to(server, "/api.php");
        request.method = "POST";
        request.body = submission("Proxied CPU", 10);
        request.headers = {"Content-Type: application/json", "X-Forwarded-For: " + forwarded};
        return send_request(request).status;
    };
    // What a client writes itself comes first; the proxy's own entry comes last.
    EXPECT_EQ(post_from("10.9.9.9, 192.0.2.1"), 200);
    EXPECT_EQ(post_from("10.9.9.8, 192.0.2.1"), 200);
    EXPECT_EQ(post_from("192.0.2.1"), 429);
    EXPECT_EQ(post_from("192.0.2.2"), 200);
    EXPECT_NE(server.log_text().find("192.0.2.2 POST /api.php 200"), std::string::npos) << server.log_text();
    expect_clean_stop(server);
}

TEST(LeaderboardServer, SigtermStopsItCleanlyEvenWithAnOpenConnection) {
    LeaderboardServerProcess server;
    TestHttpSession session;
    TestReply reply = session.send(request_to(server, "/api.php?type=single"));
    ASSERT_EQ(reply.status, 200) << reply.error;
    // The session keeps its connection open; the stop must not wait for it to go away.
    EXPECT_EQ(server.stop(), 0) << server.log_text();
    EXPECT_NE(server.log_text().find("stopped"), std::string::npos) << server.log_text();
}

TEST(LeaderboardServer, SigintStopsItCleanlyToo) {
    LeaderboardServerProcess server;
    ASSERT_EQ(kill(server.pid(), SIGINT), 0);
    EXPECT_EQ(server.stop(), 0) << server.log_text();
    EXPECT_NE(server.log_text().find("SIGINT"), std::string::npos) << server.log_text();
}

TEST(LeaderboardServer, ALockedDatabaseGives503WithRetryAfterAndTheServerCarriesOn) {
    LeaderboardServerProcess server;
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(server.db_path().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

    // Waits out the store's deadline (5 s), then gives up: nothing was stored.
    TestReply failed = post(server, submission("Blocked CPU", 10));
    EXPECT_EQ(failed.status, 503) << failed.error << failed.body;
    EXPECT_EQ(failed.header("Retry-After"), "5") << failed.headers;
    EXPECT_TRUE(json_of(failed).contains("error")) << failed.body;

    ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    expect_accepted(post(server, submission("Free CPU", 20)));
    ASSERT_EQ(standings(server, "single").size(), 1u);
    expect_clean_stop(server);
}

TEST(LeaderboardServerStalledDatabase, GetsComeFromTheLastGoodStandingsPostsGet503AndSigtermStillStopsIt) {
    LeaderboardServerOptions options;
    options.database = shared_postgres().create_database();
    LeaderboardServerProcess server(options);
    expect_accepted(post(server, submission("Before CPU", 100)));
    const std::string last_good = get(server, "/api.php?type=single").body;

    PgSession lock(options.database);
    lock.run("BEGIN; LOCK TABLE standings_totals IN ACCESS EXCLUSIVE MODE");
    PgSession watcher(options.database);
    // Every read of the standings now waits: requests get the last good ones, older and older.
    TestReply stale;
    ASSERT_TRUE(wait_until(
        [&] {
            stale = get(server, "/api.php?type=single");
            return stale.status != 200 || std::atoi(stale.header("Age").c_str()) >= 1;
        },
        std::chrono::seconds(60)));
    EXPECT_EQ(stale.status, 200) << stale.error;
    EXPECT_EQ(stale.body, last_good);

    // A submission that cannot be stored in time; requests that need no database are
    // answered meanwhile.
    std::atomic<bool> refused_yet{false};
    TestReply refused;
    std::thread poster([&] {
        refused = post(server, submission("Stalled CPU", 200));
        refused_yet = true;
    });
    ASSERT_TRUE(wait_until([&] { return watcher.count_waiting_for_locks() > 0; }))
        << "the run never reached the database";
    EXPECT_EQ(get(server, "/nothing-here").status, 404);
    EXPECT_FALSE(refused_yet);
    poster.join();
    EXPECT_EQ(refused.status, 503) << refused.error << refused.body;
    EXPECT_EQ(refused.header("Retry-After"), "5") << refused.headers;

    // SIGTERM while a submission waits for the database: the server stops all the same.
    std::thread stopped_poster([&] { post(server, submission("Stalled CPU", 300)); });
    ASSERT_TRUE(wait_until([&] { return watcher.count_waiting_for_locks() > 0; }));
    EXPECT_EQ(server.stop(), 0) << server.log_text();
    stopped_poster.join();

    lock.run("ROLLBACK");
    server.restart();
    nlohmann::json single = standings(server, "single");
    ASSERT_EQ(single.size(), 1u) << single.dump();
    EXPECT_EQ(single[0]["runs"], 1);
    expect_clean_stop(server);
}

TEST(LeaderboardServerStalledDatabase, ARunWhoseCommitGoesUnansweredIsNeverReportedAsLost) {
    // A database of its own, whose commits are made to wait for a standby that does not exist.
    PostgresServer postgres;
    LeaderboardServerOptions options;
    options.database = postgres.create_database();
    LeaderboardServerProcess server(options);
    PgSession admin(options.database);
    admin.run("ALTER SYSTEM SET synchronous_standby_names = 'nobody'");
    admin.run("SELECT pg_reload_conf()");

    // Until the setting reaches the database's processes, runs are still stored at once.
    int posted = 0;
    TestReply doubtful;
    ASSERT_TRUE(wait_until([&] {
        doubtful = post(server, submission("Doubtful CPU", 100));
        ++posted;
        return doubtful.status != 200;
    }));
    // Neither "stored" nor "not stored": the connection closes without a reply.
    EXPECT_EQ(doubtful.status, 0) << doubtful.body;
    EXPECT_NE(server.log_text().find("closed without a reply"), std::string::npos) << server.log_text();

    admin.run("ALTER SYSTEM RESET synchronous_standby_names");
    admin.run("SELECT pg_reload_conf()");
    // The run was committed after all, and shows once the commit completes.
    nlohmann::json single;
    EXPECT_TRUE(wait_until([&] {
        single = standings(server, "single");
        return !single.empty() && single[0]["runs"] == posted;
    }));
    ASSERT_EQ(single.size(), 1u) << single.dump();
    EXPECT_EQ(single[0]["runs"], posted);
    expect_clean_stop(server);
}

TEST(LeaderboardServer, PlainHttpModeServesTheSameApi) {
    LeaderboardServerProcess server(LeaderboardServerOptions{.plain_http = true});
    ASSERT_EQ(server.url().rfind("http://", 0), 0u);
    expect_accepted(post(server, submission("Proxied CPU", 55)));
    EXPECT_EQ(standings(server, "single").size(), 1u);
    expect_clean_stop(server);
}

TEST(LeaderboardServer, HttpsModeRefusesPlainHttp) {
    LeaderboardServerProcess server;
    TestRequest plain;
    plain.url = "http://127.0.0.1:" + std::to_string(server.port()) + "/api.php?type=single";
    TestReply reply = send_request(plain);
    EXPECT_NE(reply.status, 200);
    // And it still serves TLS clients afterwards.
    EXPECT_EQ(get(server, "/api.php?type=single").status, 200);
    expect_clean_stop(server);
}

TEST(LeaderboardServerCommandLine, ABadFlagGivesOneLineAndExitCode2) {
    CommandResult result = run_command({leaderboard_binary_path(), "--http", "--frobnicate"});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.output.find("--frobnicate"), std::string::npos) << result.output;
    EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1) << result.output;

    CommandResult no_cert = run_command({leaderboard_binary_path()});
    EXPECT_EQ(no_cert.exit_code, 2);
    EXPECT_NE(no_cert.output.find("--cert"), std::string::npos) << no_cert.output;
}

TEST(LeaderboardServerCommandLine, AStoreItCannotUseEndsStartUpWithOneLineAndExitCode1) {
    TempDir dir;
    SilentPort stopped_database;
    const std::string silent_uri =
        "postgresql://someone@127.0.0.1:" + std::to_string(stopped_database.port()) + "/board";

    // A file the server's user may read but not write (root may write anything, so as root
    // the server runs as nobody).
    const std::string read_only = dir.file("read-only.db");
    SqliteStore{read_only};
    chmod(dir.path().c_str(), 0755);
    chmod(read_only.c_str(), geteuid() == 0 ? 0644 : 0444);
    std::vector<std::string> as_reader;
    if (geteuid() == 0) as_reader = {"runuser", "-u", "nobody", "--"};
    // A copy of the server that nobody may run too, wherever the build tree is (a clone in a
    // private temporary folder, say).
    const std::string server = dir.file("vornmark-leaderboard");
    std::filesystem::copy_file(leaderboard_binary_path(), server);
    chmod(server.c_str(), 0755);

    // A role that may read the leaderboard's tables but not change them.
    const std::string database = shared_postgres().create_database();
    PostgresStore{database};
    const std::string role = "reader" + std::to_string(getpid());
    PgSession(database).run("CREATE ROLE " + role +
                            " LOGIN; GRANT SELECT ON ALL TABLES IN SCHEMA public TO " + role);
    std::string reader_uri = database;
    reader_uri.replace(reader_uri.find("postgres@"), 8, role);

    struct Case {
        std::vector<std::string> prefix;
        std::vector<std::string> flags;
        std::string named;
    };
    const Case cases[] = {
        {{}, {"--cert", "/nonexistent/cert.pem", "--key", "/nonexistent/key.pem"}, "/nonexistent/cert.pem"},
        {{}, {"--http", "--db", "/nonexistent/dir/board.db"}, "/nonexistent/dir/board.db"},
        {{}, {"--http", "--db", silent_uri}, silent_uri},
        {as_reader, {"--http", "--db", read_only}, "read-only"},
        {{}, {"--http", "--db", reader_uri}, reader_uri},
    };
    for (const Case& c : cases) {
        std::vector<std::string> command = c.prefix;
        command.push_back(server);
        command.insert(command.end(), {"--listen", "127.0.0.1:0"});
        command.insert(command.end(), c.flags.begin(), c.flags.end());
        CommandResult result = run_command(command, std::chrono::seconds(60));
        EXPECT_EQ(result.exit_code, 1) << c.named << ": " << result.output;
        EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1) << result.output;
        EXPECT_NE(result.output.find(c.named), std::string::npos) << result.output;
    }
}

// The operator's commands, run as the binary against the database of a live server: their exit
// codes, what they print, and what the standings show afterwards.
TEST_P(LeaderboardServerWithStore, OperatorCommandsWorkOnTheLiveDatabase) {
    LeaderboardServerOptions o = options();
    o.public_board = true;  // refusals are logged and every run keeps its address unit
    o.extra_args = {"--standing-limit", "1000000"};  // asked until the change shows
    LeaderboardServerProcess server(o);
    if (GetParam() == StoreKind::postgresql) wait_for_notices(server);
    for (int i = 0; i < 4; ++i) expect_accepted(post(server, submission("Operator CPU", 1000, 8)));
    EXPECT_EQ(json_of(post(server, submission("Operator CPU", 4321)))["ok"], false);
    // Kept by the server from here on, until a change it hears of (on SQLite: it asks the file).
    EXPECT_EQ(runs_standing(server, "Operator CPU"), 4);
    EXPECT_EQ(page_status(server, "Operator CPU"), 200);

    const std::string key = server.directory() + "/address.key";
    const struct {
        std::vector<std::string> args;
        int exit_code;
        std::string printed;
        int multi_rows;  // the multi standings afterwards; -1: not looked at
    } cases[] = {
        {{"flagged"}, 0, "score per thread 4321 is above 2000", -1},
        {{"hide", "Operator  CPU"}, 0, "hidden: Operator CPU", 0},
        {{"hide", "Nobody's CPU"}, 1, "no processor named Nobody's CPU", 0},
        {{"unhide", "Operator CPU"}, 0, "listed again: Operator CPU", 1},
        {{"forget-address", "127.0.0.1", "--address-key", key}, 0, "uncounted 4 runs from 127.0.0.1", 0},
        {{"forget-address", "127.0.0.1", "--address-key", server.directory() + "/missing.key"},
         1,
         "no address key",
         0},
        {{"forget-address", "nowhere"}, 2, "nowhere is not an IPv4 or IPv6 address", 0},
        {{"hide"}, 2, "hide needs a processor name", 0},
        {{"purge"}, 2, "unknown command purge", 0},
    };
    for (const auto& c : cases) {
        std::vector<std::string> command = {leaderboard_binary_path()};
        command.insert(command.end(), c.args.begin(), c.args.end());
        command.insert(command.end(), {"--db", server.db_path()});
        const CommandResult result = run_command(command, std::chrono::seconds(60));
        const std::string what = c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "");
        EXPECT_EQ(result.exit_code, c.exit_code) << what << ": " << result.output;
        EXPECT_NE(result.output.find(c.printed), std::string::npos) << what << ": " << result.output;
        // The server keeps its standings for a second; the change shows once they are read again,
        // and in the processor's answers and page once the server hears of it.
        if (c.multi_rows >= 0) {
            EXPECT_TRUE(wait_until([&] {
                return standings(server, "multi").size() == std::size_t(c.multi_rows);
            })) << what;
            // Well inside the minute that an answer unheard of is kept at most.
            constexpr auto heard_within = std::chrono::seconds(20);
            EXPECT_TRUE(wait_until([&] { return runs_standing(server, "Operator CPU") == 4 * c.multi_rows; },
                                   heard_within))
                << what;
            EXPECT_TRUE(wait_until(
                [&] { return page_status(server, "Operator CPU") == (c.multi_rows ? 200 : 404); }, heard_within))
                << what;
        }
    }
    expect_clean_stop(server);
}

}  // namespace vornmark::server
