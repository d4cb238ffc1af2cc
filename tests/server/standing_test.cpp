// Where a score stands (GET /api.php?type=T&cpu=NAME&score=S) on a real server over each store.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <numeric>

#include "tests/server/store_fixture.h"
#include "tests/server/test_http_client.h"
#include "tests/support/leaderboard_server.h"
#include "tests/support/wait_until.h"

namespace vornmark::server {

namespace {

using json = nlohmann::json;

class StandingRequest : public testing::TestWithParam<StoreKind> {
protected:
    LeaderboardServerOptions options() const {
        LeaderboardServerOptions o;
        o.database = location.location();
        o.extra_args = {"--private", "--standing-limit", "1000000"};
        return o;
    }
    TestReply get(const LeaderboardServerProcess& server, const std::string& target) const {
        TestRequest request;
        request.url = server.url() + target;
        request.ca_file = server.ca_file();
        return send_request(request);
    }
    json standing(const LeaderboardServerProcess& server, const std::string& target) const {
        const TestReply reply = get(server, target);
        EXPECT_EQ(reply.status, 200) << target << ": " << reply.body;
        return json::parse(reply.body);
    }
    void submit(const LeaderboardServerProcess& server, const std::string& cpu, int score) const {
        TestRequest request;
        request.url = server.url() + "/api.php";
        request.ca_file = server.ca_file();
        request.method = "POST";
        request.headers = {"Content-Type: application/json"};
        request.body = json{{"cpu_name", cpu}, {"score", score}, {"threads", 4}, {"type", "multi"}}.dump();
        ASSERT_EQ(send_request(request).body, R"({"ok":true})") << cpu << " " << score;
    }

    FreshLocation location{GetParam()};
};

// Ten runs of 100, 110 ... 190, one faster processor and one slower: the shares, places and bins
// of a known board, the edges of the score range included; a second process on the same store
// answers the same, the share of all runs included.
TEST_P(StandingRequest, KnownRunsGiveKnownSharesPlacesAndBins) {
    LeaderboardServerProcess server(options());
    for (int score = 100; score < 200; score += 10) submit(server, "Known CPU", score);
    submit(server, "Fast CPU", 1000);
    submit(server, "Slow CPU", 60);
    ASSERT_TRUE(
        wait_until([&] { return standing(server, "/api.php?type=multi&cpu=Slow%20CPU")["rows"] == 3; }));

    struct Case {
        std::string score;
        double faster_than;
    };
    const std::vector<Case> cases = {{"145", 50}, {"1", 0}, {"10000000", 100}, {"195", 100}, {"99", 0}};
    for (const Case& c : cases) {
        const json s = standing(server, "/api.php?type=multi&cpu=Known%20CPU&score=" + c.score);
        EXPECT_EQ(s["cpu"], "Known CPU");
        EXPECT_EQ(s["runs"], 10);
        EXPECT_EQ(s["rank"], 2);
        EXPECT_EQ(s["rows"], 3);
        EXPECT_EQ(s["faster_than"], c.faster_than) << c.score;
        const std::vector<std::int64_t> counts = s["histogram"]["counts"];
        EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), std::int64_t{0}), 10);
        EXPECT_LE(counts.size(), 40u);
        EXPECT_EQ(s["histogram"]["edges"].size(), counts.size() + 1);
        // The row's own percentiles (nearest rank), exact to a bin's width (2 %).
        EXPECT_NEAR(s["median"].get<double>(), 140, 3);
        EXPECT_NEAR(s["p10"].get<double>(), 100, 2);
        EXPECT_NEAR(s["p90"].get<double>(), 180, 4);
    }
    // One run draws as one bar; without a score there is no share.
    const json fast = standing(server, "/api.php?type=multi&cpu=Fast%20CPU");
    EXPECT_EQ(fast["rank"], 1);
    EXPECT_EQ(fast["histogram"]["counts"], json::array({1}));
    EXPECT_FALSE(fast.contains("faster_than"));

    // Another process on the same store reads the share of all runs at start.
    LeaderboardServerOptions second = options();
    LeaderboardServerProcess other(second);
    const json all = standing(other, "/api.php?type=multi&cpu=Known%20CPU&score=145");
    EXPECT_EQ(all["faster_than"], 50);
    EXPECT_EQ(all["faster_than_all"], 50);  // Slow CPU and five of Known CPU, of twelve
    const json unknown = standing(other, "/api.php?type=multi&cpu=Nobody%20CPU&score=2000");
    EXPECT_EQ(unknown["runs"], 0);
    EXPECT_EQ(unknown["faster_than_all"], 100);
    EXPECT_FALSE(unknown.contains("rank") || unknown.contains("histogram") ||
                 unknown.contains("faster_than"));

    // A row the operator hides has no standing and no page, within the second answers are kept.
    const CommandResult hidden =
        run_command({leaderboard_binary_path(), "hide", "Fast CPU", "--db", server.db_path(), "--private"},
                    std::chrono::seconds(30));
    ASSERT_EQ(hidden.exit_code, 0) << hidden.output;
    EXPECT_TRUE(wait_until(
        [&] { return standing(other, "/api.php?type=multi&cpu=Fast%20CPU&score=5")["runs"] == 0; }));
    EXPECT_TRUE(wait_until([&] { return get(other, "/cpu?type=multi&cpu=Fast%20CPU").status == 404; }));
}

TEST_P(StandingRequest, BadQueriesAreRefusedWithTheJsonError) {
    LeaderboardServerProcess server(options());
    const std::vector<std::string> refused = {
        "/api.php?type=dual&cpu=A",
        "/api.php?cpu=A&score=5",
        "/api.php?type=multi&score=5",
        "/api.php?type=multi&cpu=",
        "/api.php?type=multi&cpu=A%00B",
        "/api.php?type=multi&cpu=A%1B%5B2J",
        "/api.php?type=multi&cpu=%E2%80%8B",
        "/api.php?type=multi&cpu=A%FF",
        "/api.php?type=multi&cpu=" + std::string(129, 'x'),
        "/api.php?type=multi&cpu=A&score=0",
        "/api.php?type=multi&cpu=A&score=10000001",
        "/api.php?type=multi&cpu=A&score=-5",
        "/api.php?type=multi&cpu=A&score=12.5",
        "/api.php?type=multi&cpu=A&score=",
    };
    for (const std::string& target : refused) {
        const TestReply reply = get(server, target);
        EXPECT_EQ(reply.status, 400) << target;
        EXPECT_TRUE(json::parse(reply.body).contains("error")) << target << ": " << reply.body;
    }
    // The standings request stays as it was.
    EXPECT_EQ(get(server, "/api.php?type=multi").body, R"({"leaderboard":[]})");
}

INSTANTIATE_TEST_SUITE_P(EveryStore, StandingRequest,
                         testing::Values(StoreKind::sqlite, StoreKind::postgresql), store_kind_name);

// Its own limit per address, apart from submissions'.
TEST(StandingRequestLimit, ManyRequestsFromOneAddressGet429) {
    LeaderboardServerOptions options;
    options.extra_args = {"--standing-limit", "3"};
    LeaderboardServerProcess server(options);
    TestRequest request;
    request.url = server.url() + "/api.php?type=single&cpu=A&score=5";
    request.ca_file = server.ca_file();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(send_request(request).status, 200);
    const TestReply refused = send_request(request);
    EXPECT_EQ(refused.status, 429);
    EXPECT_EQ(refused.header("Retry-After"), "60");
    request.url = server.url() + "/api.php?type=single";
    EXPECT_EQ(send_request(request).status, 200);
}

}  // namespace

}  // namespace vornmark::server
