// The real vornmark-leaderboard process, over verified TLS on loopback.

#include <signal.h>

#include <atomic>
#include <sqlite3.h>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/server/store_fixture.h"
#include "tests/server/test_http_client.h"
#include "tests/support/leaderboard_server.h"
#include "tests/support/temp_dir.h"

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

// Exit code 0 also means no sanitizer report ended the server.
void expect_clean_stop(LeaderboardServerProcess& server) {
    EXPECT_EQ(server.stop(), 0) << server.log_text();
}

void expect_accepted(const TestReply& reply) {
    EXPECT_EQ(reply.status, 200) << reply.error;
    EXPECT_EQ(json_of(reply), nlohmann::json({{"ok", true}})) << reply.body;
}

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

TEST(LeaderboardServer, RefusesOtherTypesPathsAndMethodsWithJsonErrors) {
    LeaderboardServerProcess server;
    for (const char* target : {"/api.php", "/api.php?type=", "/api.php?type=Single", "/api.php?type=both"}) {
        TestReply reply = get(server, target);
        EXPECT_EQ(reply.status, 400) << target;
        EXPECT_TRUE(json_of(reply).contains("error")) << target << ": " << reply.body;
    }

    TestReply missing = get(server, "/leaderboard?type=single");
    EXPECT_EQ(missing.status, 404);
    EXPECT_TRUE(json_of(missing).contains("error")) << missing.body;
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
    LeaderboardServerOptions shared;
    shared.rate_limit = 4;
    shared.database = shared_postgres().create_database();
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

TEST(LeaderboardServer, ALockedDatabaseGives500AndTheServerCarriesOn) {
    LeaderboardServerProcess server;
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(server.db_path().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

    // Waits out the server's busy time-out (5 s), then fails.
    TestReply failed = post(server, submission("Blocked CPU", 10));
    EXPECT_EQ(failed.status, 500) << failed.error << failed.body;
    EXPECT_TRUE(json_of(failed).contains("error")) << failed.body;
    EXPECT_NE(server.log_text().find("store error"), std::string::npos) << server.log_text();

    ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    expect_accepted(post(server, submission("Free CPU", 20)));
    ASSERT_EQ(standings(server, "single").size(), 1u);
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

TEST(LeaderboardServerCommandLine, UnusableCertificateOrDatabaseEndsWithAMessage) {
    TempDir dir;
    CommandResult bad_cert =
        run_command({leaderboard_binary_path(), "--listen", "127.0.0.1:0", "--cert", "/nonexistent/cert.pem",
                     "--key", "/nonexistent/key.pem", "--db", dir.file("board.db")});
    EXPECT_EQ(bad_cert.exit_code, 1);
    EXPECT_NE(bad_cert.output.find("/nonexistent/cert.pem"), std::string::npos) << bad_cert.output;

    CommandResult bad_db = run_command({leaderboard_binary_path(), "--http", "--listen", "127.0.0.1:0",
                                        "--db", "/nonexistent/dir/board.db"});
    EXPECT_EQ(bad_db.exit_code, 1);
    EXPECT_NE(bad_db.output.find("/nonexistent/dir/board.db"), std::string::npos) << bad_db.output;
}
