// The client against the real vornmark-leaderboard server on loopback.

#include "net/http.h"
#include "net/leaderboard_client.h"

#include "tests/net/wait_for_requests.h"
#include "tests/support/endpoints.h"
#include "tests/support/environment.h"
#include "tests/support/leaderboard_server.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <stdexcept>

namespace vornmark {

namespace {}  // namespace

TEST(LeaderboardClientWithServer, FetchOfAnEmptyBoardGivesNoRowsAndNoError) {
    LeaderboardServerProcess server;
    LeaderboardClient client(endpoint_of(server));

    client.fetch_standings(RunKind::Single);
    client.fetch_standings(RunKind::Multi);
    ASSERT_TRUE(wait_until_idle(client));

    EXPECT_EQ(client.latest_outcome().text, "");
    EXPECT_TRUE(client.standings(RunKind::Single).empty());
    EXPECT_TRUE(client.standings(RunKind::Multi).empty());
}

TEST(LeaderboardClientWithServer, SubmissionShowsUpInTheRefreshedStandings) {
    LeaderboardServerProcess server;
    LeaderboardClient client(endpoint_of(server));

    client.submit_result("Test CPU 3000", RunKind::Single, 4321, 1);
    ASSERT_TRUE(wait_until_idle(client));
    ASSERT_EQ(client.submit_status_text(), "Submitted OK (single 4321)");
    auto rows = client.standings(RunKind::Single);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].cpu, "Test CPU 3000");
    EXPECT_EQ(rows[0].avg_score, 4321);
    EXPECT_EQ(rows[0].runs, 1);
    EXPECT_TRUE(client.standings(RunKind::Multi).empty());

    client.submit_result("Test CPU 3000", RunKind::Single, 4000, 1);
    ASSERT_TRUE(wait_until_idle(client));
    EXPECT_EQ(client.submit_status_text(), "Submitted OK (single 4000)");
    rows = client.standings(RunKind::Single);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].runs, 2);
    EXPECT_GE(rows[0].avg_score, 4000);
    EXPECT_LE(rows[0].avg_score, 4321);
}

TEST(LeaderboardClientWithServer, EachAcceptedRunsStandingCountsItself) {
    LeaderboardServerProcess server;
    LeaderboardClient client(endpoint_of(server));
    client.submit_result("Test CPU 3000", RunKind::Multi, 4000, 8);
    ASSERT_TRUE(wait_until_idle(client));
    client.submit_result("Test CPU 3000", RunKind::Multi, 3000, 8);
    ASSERT_TRUE(wait_until_idle(client));

    const StandingOutcome outcome = client.run_standing();
    ASSERT_EQ(outcome.state, StandingOutcome::State::Ready) << outcome.error;
    EXPECT_EQ(outcome.score, 3000);
    const Standing& s = outcome.standing;
    EXPECT_EQ(s.runs, 2);
    EXPECT_EQ(s.faster_than, 25.0);  // below the other run, and half of itself
    EXPECT_EQ(s.rank, 1);
    EXPECT_EQ(s.rows, 1);
    std::int64_t counted = 0;
    for (std::int64_t count : s.counts) counted += count;
    EXPECT_EQ(counted, 2);
    EXPECT_EQ(standing_line(s), "Faster than 25 % of 2 runs of this processor \u00B7 #1 of 1 processor");

    // A processor's standing without a score: its spread only.
    client.fetch_processor_standing(RunKind::Multi, "Test CPU 3000");
    ASSERT_TRUE(wait_until_idle(client));
    EXPECT_EQ(client.processor_standing().state, StandingOutcome::State::Ready);
    EXPECT_FALSE(client.processor_standing().standing.faster_than.has_value());
}

TEST(LeaderboardClientWithServer, RejectedSubmissionShowsTheServersReply) {
    LeaderboardServerProcess server;
    LeaderboardClient client(endpoint_of(server));

    // A multi-core run with one thread is not a run the server takes.
    client.submit_result("Test CPU", RunKind::Multi, 4321, 1);
    ASSERT_TRUE(wait_until_idle(client));

    EXPECT_EQ(client.submit_status_text().rfind("Submit error: Server rejected: {", 0), 0u)
        << client.submit_status_text();
    EXPECT_TRUE(client.standings(RunKind::Multi).empty());
}

TEST(LeaderboardClientWithServer, ConcurrentRequestsAllFinish) {
    LeaderboardServerProcess server;
    LeaderboardClient client(endpoint_of(server));

    for (int i = 0; i < 3; ++i) {
        client.submit_result("Multi CPU " + std::to_string(i), RunKind::Multi, 1000 * (i + 1), 8);
        client.fetch_standings(RunKind::Single);
        client.fetch_standings(RunKind::Multi);
    }
    ASSERT_TRUE(wait_until_idle(client));

    EXPECT_EQ(client.pending_request_count(), 0);
    EXPECT_EQ(client.fetch_outcome(RunKind::Single).error + client.fetch_outcome(RunKind::Multi).error, "");
    EXPECT_EQ(client.submit_status_text().rfind("Submitted OK (multi ", 0), 0u)
        << client.submit_status_text();

    // Whatever order those finished in, a fresh fetch sees all three runs.
    client.fetch_standings(RunKind::Multi);
    ASSERT_TRUE(wait_until_idle(client));
    EXPECT_EQ(client.standings(RunKind::Multi).size(), 3u);
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
        EXPECT_EQ(std::string(error.what()), "HttpSendRequest failed: certificate not trusted (127.0.0.1:" +
                                                 std::to_string(server.port()) + ")");
    }
}

TEST(LeaderboardClientWithServer, SettingFromEachPlaceReachesTheServerAndABadOneNothing) {
    LeaderboardServerProcess server;
    TempDir dir;
    const ScopedEnvironment environment(
        {"VORNMARK_LEADERBOARD_URL", "VORNMARK_LEADERBOARD_CA", "XDG_CONFIG_HOME"});
    std::filesystem::create_directories(dir.path() / "config" / "vornmark");
    std::ofstream(dir.path() / "config" / "vornmark" / "vornmark.conf")
        << "leaderboard_url = " << server.url() << "\nleaderboard_ca = " << server.ca_file() << "\n";

    enum class Place { Flags, Environment, UserFile, NoCa, Refused };
    int stored = 0;
    for (const Place place :
         {Place::Flags, Place::Environment, Place::UserFile, Place::NoCa, Place::Refused}) {
        LeaderboardFlags flags;
        if (place == Place::Flags) flags = {server.url(), server.ca_file()};
        if (place == Place::NoCa) flags = {server.url(), std::nullopt};
        if (place == Place::Refused) flags = {"http" + server.url().substr(5), std::nullopt};
        set_environment_variable("VORNMARK_LEADERBOARD_URL", place == Place::Environment
                                                                 ? std::optional<std::string>(server.url())
                                                                 : std::nullopt);
        set_environment_variable("VORNMARK_LEADERBOARD_CA", place == Place::Environment
                                                                ? std::optional<std::string>(server.ca_file())
                                                                : std::nullopt);
        set_environment_variable("XDG_CONFIG_HOME", dir.file("config"));

        LeaderboardClient client(leaderboard_setting(flags));
        client.submit_result("Setting Test CPU", RunKind::Single, 1000, 1);
        ASSERT_TRUE(wait_until_idle(client));
        const std::string status = client.submit_status_text();
        if (place == Place::Refused) {
            EXPECT_EQ(status, "") << "nothing is sent";
            EXPECT_NE(client.setting().error.find("plain http is not accepted"), std::string::npos);
        } else if (place == Place::NoCa) {
            // The certificate is checked against the system's roots, which do not hold the test's CA.
            EXPECT_EQ(status.rfind("Submit error: ", 0), 0u) << status;
        } else {
            EXPECT_EQ(status, "Submitted OK (single 1000)") << static_cast<int>(place);
            ++stored;
        }
    }
    LeaderboardClient reader(endpoint_of(server));
    reader.fetch_standings(RunKind::Single);
    ASSERT_TRUE(wait_until_idle(reader));
    ASSERT_EQ(reader.standings(RunKind::Single).size(), 1u);
    EXPECT_EQ(reader.standings(RunKind::Single)[0].runs, stored)
        << "each good place stored one run, the others none";
}

}  // namespace vornmark
