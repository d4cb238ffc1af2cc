// The client against the real vornmark-leaderboard server on loopback.

#include "net/http.h"
#include "net/leaderboard_client.h"

#include "tests/net/wait_for_requests.h"
#include "tests/support/leaderboard_server.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <stdexcept>

namespace {

HttpEndpoint endpoint_of(const LeaderboardServerProcess& server) {
    return HttpEndpoint{server.host(), server.port(), server.ca_file()};
}

}  // namespace

TEST(LeaderboardClientWithServer, FetchOfAnEmptyBoardGivesNoRowsAndNoError) {
    LeaderboardServerProcess server;
    LeaderboardClient client(endpoint_of(server));

    client.fetch_standings("single");
    client.fetch_standings("multi");
    ASSERT_TRUE(wait_until_idle(client));

    EXPECT_EQ(client.fetch_error_text(), "");
    EXPECT_TRUE(client.standings("single").empty());
    EXPECT_TRUE(client.standings("multi").empty());
}

TEST(LeaderboardClientWithServer, SubmissionShowsUpInTheRefreshedStandings) {
    LeaderboardServerProcess server;
    LeaderboardClient client(endpoint_of(server));

    client.submit_result("Test CPU 3000", "single", 4321, 1);
    ASSERT_TRUE(wait_until_idle(client));
    ASSERT_EQ(client.submit_status_text(), "Submitted OK (single 4321)");
    auto rows = client.standings("single");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].cpu, "Test CPU 3000");
    EXPECT_EQ(rows[0].avg_score, 4321);
    EXPECT_EQ(rows[0].runs, 1);
    EXPECT_TRUE(client.standings("multi").empty());

    client.submit_result("Test CPU 3000", "single", 4000, 1);
    ASSERT_TRUE(wait_until_idle(client));
    EXPECT_EQ(client.submit_status_text(), "Submitted OK (single 4000)");
    rows = client.standings("single");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].runs, 2);
    EXPECT_GE(rows[0].avg_score, 4000);
    EXPECT_LE(rows[0].avg_score, 4321);
}

TEST(LeaderboardClientWithServer, RejectedSubmissionShowsTheServersReply) {
    LeaderboardServerProcess server;
    LeaderboardClient client(endpoint_of(server));

    // A multi-core run with one thread is not a run the server takes.
    client.submit_result("Test CPU", "multi", 4321, 1);
    ASSERT_TRUE(wait_until_idle(client));

    EXPECT_EQ(client.submit_status_text().rfind("Submit error: Server rejected: {", 0), 0u)
        << client.submit_status_text();
    EXPECT_TRUE(client.standings("multi").empty());
}

TEST(LeaderboardClientWithServer, ConcurrentRequestsAllFinish) {
    LeaderboardServerProcess server;
    LeaderboardClient client(endpoint_of(server));

    for (int i = 0; i < 3; ++i) {
        client.submit_result("Multi CPU " + std::to_string(i), "multi", 1000 * (i + 1), 8);
        client.fetch_standings("single");
        client.fetch_standings("multi");
    }
    ASSERT_TRUE(wait_until_idle(client));

    EXPECT_EQ(client.pending_request_count(), 0);
    EXPECT_EQ(client.fetch_error_text(), "");
    EXPECT_EQ(client.submit_status_text().rfind("Submitted OK (multi ", 0), 0u)
        << client.submit_status_text();

    // Whatever order those finished in, a fresh fetch sees all three runs.
    client.fetch_standings("multi");
    ASSERT_TRUE(wait_until_idle(client));
    EXPECT_EQ(client.standings("multi").size(), 3u);
}

TEST(LeaderboardClientWithServer, TransportVerifiesTheServersCertificate) {
    LeaderboardServerProcess server;
    HttpEndpoint endpoint = endpoint_of(server);

    const auto reply = nlohmann::json::parse(http_get(endpoint, "/api.php?type=single"));
    EXPECT_TRUE(reply.contains("leaderboard"));

    endpoint.ca_file = "";
    try {
        http_get(endpoint, "/api.php?type=single");
        ADD_FAILURE() << "a certificate outside the system store was accepted";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "HttpSendRequest failed");
    }
}
