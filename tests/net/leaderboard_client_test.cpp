#include "net/leaderboard_client.h"

#include "net/exchange_failure.h"
#include "tests/net/scripted_tls_server.h"
#include "tests/net/wait_for_requests.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <future>

namespace vornmark {

namespace {

const std::string two_rows = R"({"leaderboard":[{"cpu":"Zen 4","avg_score":5000,"runs":3},)"
                             R"({"cpu":"Core i9","avg_score":1234.7,"runs":1}]})";
const std::string accepted = R"({"ok":true})";

// The message the JSON library itself gives for this reply.
std::string parse_error_of(const std::string& body) {
    try {
        [[maybe_unused]] const auto parsed = nlohmann::json::parse(body);
    } catch (const nlohmann::json::parse_error& error) {
        return error.what();
    }
    return "parsed";
}

// " (127.0.0.1:port)", as every failure message ends.
std::string at(const ScriptedTlsServer& server) {
    return " (" + endpoint_text(server.endpoint()) + ")";
}

std::vector<std::string> cpus(const std::vector<LeaderboardEntry>& rows) {
    std::vector<std::string> names;
    for (const LeaderboardEntry& row : rows) names.push_back(row.cpu);
    return names;
}

// Holds the scripted server's replies until opened; opens itself when it goes out of scope, so a
// failed assertion cannot leave a connection waiting forever.
class ReplyGate {
public:
    ReplyGate() : opened(released.get_future().share()) {}
    ~ReplyGate() { open(); }
    void open() {
        std::call_once(once, [this] { released.set_value(); });
    }
    ScriptedTlsServer::Script holding(ScriptedTlsServer::Script script) {
        return [script = std::move(script), opened = opened](const RecordedRequest& request) {
            opened.wait();
            return script(request);
        };
    }

private:
    std::promise<void> released;
    std::shared_future<void> opened;
    std::once_flag once;
};

}  // namespace

TEST(LeaderboardClient, FetchFillsTheListOfItsTypeInTheServersOrder) {
    ScriptedTlsServer server(reply_by_route({{"GET /api.php?type=single", http_response(200, two_rows)}}));

    LeaderboardClient client(server.endpoint());
    client.fetch_standings(RunKind::Single);
    ASSERT_TRUE(wait_until_idle(client));

    const auto single = client.standings(RunKind::Single);
    ASSERT_EQ(single.size(), 2u);
    EXPECT_EQ(single[0].cpu, "Zen 4");
    EXPECT_EQ(single[0].avg_score, 5000);
    EXPECT_EQ(single[0].runs, 3);
    EXPECT_EQ(single[1].cpu, "Core i9");
    EXPECT_EQ(single[1].avg_score, 1234);
    EXPECT_TRUE(client.standings(RunKind::Multi).empty());
    EXPECT_EQ(client.fetch_outcome(RunKind::Single).error + client.fetch_outcome(RunKind::Multi).error, "");
}

TEST(LeaderboardClient, FailedFetchReportsTheMessageAndKeepsTheRows) {
    const std::string not_understood = ": answer not understood";
    const std::vector<std::pair<std::string, std::string>> failures = {
        {http_response(201, two_rows), "HTTP 201"},
        {"HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n", "HTTP 204"},
        {"HTTP/1.1 302 Found\r\nLocation: /api.php?type=single\r\nContent-Length: 0\r\n\r\n", "HTTP 302"},
        {http_response(500, "{}"), "HTTP 500"},
        {http_response(200, ""), parse_error_of("") + not_understood},
        {http_response(200, R"({"leaderboard":[]} x)"),
         parse_error_of(R"({"leaderboard":[]} x)") + not_understood},
        // A NUL byte does not end the reply: what follows it counts.
        {http_response(200, std::string(R"({"leaderboard":[]})") + '\0' + "x"),
         parse_error_of(std::string(R"({"leaderboard":[]})") + '\x01' + "x") + not_understood},
        {http_response(200,
                       R"({"leaderboard":[{"cpu":"A","avg_score":1,"runs":1},{"avg_score":2,"runs":2}]})"),
         "[json.exception.type_error.302] type must be string, but is null" + not_understood},
        // Replies no leaderboard server gives: refused rather than shown as an empty or odd board.
        {http_response(200, R"({"other":1})"), R"(Answer not understood: no "leaderboard" list)"},
        {http_response(
             200,
             R"({"leaderboard":[{"cpu":"A","avg_score":1,"runs":1},{"cpu":"B","avg_score":-5,"runs":1}]})"),
         "Answer not understood: row 2 has the score -5"},
        {http_response(200, R"({"leaderboard":[{"cpu":"A","avg_score":2147483647,"runs":1}]})"),
         "Answer not understood: row 1 has the score 2147483647"},
        {http_response(200, R"({"leaderboard":[{"cpu":"A","avg_score":100,"runs":-1}]})"),
         "Answer not understood: row 1 counts -1 runs"},
    };
    std::vector<std::string> replies = {http_response(200, two_rows)};
    for (const auto& [reply, message] : failures) replies.push_back(reply);
    ScriptedTlsServer server(reply_in_order(replies));
    LeaderboardClient client(server.endpoint());
    client.fetch_standings(RunKind::Single);
    ASSERT_TRUE(wait_until_idle(client));

    for (const auto& [reply, message] : failures) {
        client.fetch_standings(RunKind::Single);
        ASSERT_TRUE(wait_until_idle(client));
        EXPECT_EQ(client.latest_outcome().text, message + at(server));
        EXPECT_EQ(client.fetch_outcome(RunKind::Single).error, message + at(server));
        EXPECT_EQ(cpus(client.standings(RunKind::Single)), (std::vector<std::string>{"Zen 4", "Core i9"}))
            << message;
    }
    EXPECT_EQ(client.submit_status_text(), "");
}

TEST(LeaderboardClient, ReplyLongerThanOneReadIsReadWhole) {
    std::string body = R"({"leaderboard":[)";
    for (int i = 0; i < 300; ++i)
        body += (i ? "," : "") + std::string(R"({"cpu":"Processor number )") + std::to_string(i) +
                R"(","avg_score":)" + std::to_string(10000 - i) + R"(,"runs":)" + std::to_string(i + 1) + "}";
    body += "]}";
    ASSERT_GT(body.size(), 4096u * 4);
    ScriptedTlsServer server(reply_always(http_response(200, body)));
    LeaderboardClient client(server.endpoint());

    client.fetch_standings(RunKind::Single);
    ASSERT_TRUE(wait_until_idle(client));

    const auto rows = client.standings(RunKind::Single);
    ASSERT_EQ(rows.size(), 300u);
    EXPECT_EQ(rows.back().cpu, "Processor number 299");
    EXPECT_EQ(rows.back().avg_score, 9701);
    EXPECT_EQ(client.fetch_outcome(RunKind::Single).error + client.fetch_outcome(RunKind::Multi).error, "");
}

TEST(LeaderboardClient, AcceptedSubmissionPostsTheRunCompactlyThenRefreshesItsType) {
    ScriptedTlsServer server(
        reply_by_route({{"POST /api.php", http_response(200, R"({ "ok" : true, "id": 7 })")},
                        {"GET /api.php?type=multi", http_response(200, two_rows)},
                        {"GET /api.php?type=single", http_response(500, "")}}));
    LeaderboardClient client(server.endpoint());
    client.fetch_standings(RunKind::Single);
    ASSERT_TRUE(wait_until_idle(client));
    ASSERT_EQ(client.fetch_outcome(RunKind::Single).error, "HTTP 500" + at(server));

    std::string cpu = "AMD \"Ryzen\" 9 7950X";
    client.submit_result(cpu, RunKind::Multi, 4321, 32);
    cpu.assign("changed by the caller");
    ASSERT_TRUE(wait_until_idle(client));

    EXPECT_EQ(client.submit_status_text(), "Submitted OK (multi 4321)");
    EXPECT_EQ(client.latest_outcome().outcome, RequestOutcome::Submitted);
    EXPECT_EQ(cpus(client.standings(RunKind::Multi)), (std::vector<std::string>{"Zen 4", "Core i9"}));
    EXPECT_TRUE(client.standings(RunKind::Single).empty());
    EXPECT_EQ(client.fetch_outcome(RunKind::Single).error,
              "HTTP 500" + at(server));  // a submission leaves the fetch error alone

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[1].method, "POST");
    EXPECT_EQ(requests[1].target, "/api.php");
    EXPECT_EQ(requests[1].body,
              R"({"cpu_name":"AMD \"Ryzen\" 9 7950X","score":4321,"threads":32,"type":"multi"})");
    EXPECT_EQ(requests[1].header_values("Content-Type"), std::vector<std::string>{"application/json"});
    // The refresh and the standing of the run stored, in either order.
    std::vector<std::string> gets = {requests[2].target, requests[3].target};
    std::sort(gets.begin(), gets.end());
    EXPECT_EQ(gets,
              (std::vector<std::string>{"/api.php?type=multi",
                                        "/api.php?type=multi&cpu=AMD%20%22Ryzen%22%209%207950X&score=4321"}));
}

TEST(LeaderboardClient, FailedSubmissionReadsAsSubmitErrorAndKeepsTheRows) {
    const std::string rejection = R"({ "ok": false,  "error": "score out of range" })";
    const std::string follow_up_ok = http_response(200, R"({"leaderboard":[]})");
    struct Case {
        std::string post_reply;
        std::string get_reply;
        std::string status;
    };
    const std::string not_understood = ": answer not understood";
    const std::vector<Case> cases = {
        {http_response(500, accepted), follow_up_ok, "Submit error: HTTP 500"},
        {http_response(200, rejection), follow_up_ok, "Submit error: Server rejected: " + rejection},
        {http_response(200, R"({"ok":1})"), follow_up_ok,
         "Submit error: [json.exception.type_error.302] type must be boolean, but is number" +
             not_understood},
        {http_response(200, R"({"okay":true})"), follow_up_ok,
         R"(Submit error: Server rejected: {"okay":true})"},
        {http_response(200, "[true]"), follow_up_ok, "Submit error: Server rejected: [true]"},
        // The reply as received, made printable: its line break cannot start a line of its own.
        {http_response(200, "true\n"), follow_up_ok, "Submit error: Server rejected: true?"},
        {http_response(200, ""), follow_up_ok, "Submit error: " + parse_error_of("") + not_understood},
        {http_response(200, R"({"ok":true}{)"), follow_up_ok,
         "Submit error: " + parse_error_of(R"({"ok":true}{)") + not_understood},
        // Stored by the server, but the refresh afterwards fails.
        {http_response(200, accepted), http_response(503, ""), "Submit error: HTTP 503"},
        {http_response(200, accepted), http_response(200, R"({"leaderboard":[{"cpu":"A","avg_score":"1"}]})"),
         "Submit error: [json.exception.type_error.302] type must be number, but is string" + not_understood},
    };
    for (const Case& c : cases) {
        ScriptedTlsServer server(
            reply_by_route({{"POST /api.php", c.post_reply}, {"GET /api.php?type=single", c.get_reply}}));
        LeaderboardClient client(server.endpoint());
        client.set_results_for_testing({.single_standings = {LeaderboardEntry{"Old row", 1, 1}}});

        client.submit_result("Test CPU", RunKind::Single, 4321, 1);
        ASSERT_TRUE(wait_until_idle(client));

        EXPECT_EQ(client.submit_status_text(), c.status + at(server));
        EXPECT_EQ(client.latest_outcome().outcome, RequestOutcome::SubmitFailed) << c.status;
        EXPECT_EQ(cpus(client.standings(RunKind::Single)), std::vector<std::string>{"Old row"}) << c.status;
        EXPECT_EQ(client.fetch_outcome(RunKind::Single).error + client.fetch_outcome(RunKind::Multi).error,
                  "");
    }
}

TEST(LeaderboardClient, UnreachableServerFailsEveryRequest) {
    const HttpEndpoint nowhere{"127.0.0.1", 1, loopback_identity().cert_file};
    LeaderboardClient client(nowhere);

    client.fetch_standings(RunKind::Single);
    client.submit_result("Test CPU", RunKind::Single, 100, 1);
    ASSERT_TRUE(wait_until_idle(client));

    const std::string refused = "HttpSendRequest failed: connection refused (127.0.0.1:1)";
    EXPECT_EQ(client.fetch_outcome(RunKind::Single).error, refused);
    EXPECT_EQ(client.submit_status_text(), "Submit error: " + refused);
}

// Without a leaderboard in use (none set, or a refused setting) nothing is started: no thread, no
// request, no status text; the setting itself says why.
TEST(LeaderboardClient, WithoutALeaderboardInUseNothingIsRequested) {
    const LeaderboardSetting none;
    ASSERT_TRUE(none.none());
    const LeaderboardSetting refused = choose_leaderboard_setting({flag_source({"http://127.0.0.1:1", {}})});
    ASSERT_TRUE(refused.refused());
    for (const LeaderboardSetting& setting : {none, refused}) {
        LeaderboardClient client(setting);
        client.fetch_standings(RunKind::Single);
        client.submit_result("Test CPU", RunKind::Multi, 100, 2);
        EXPECT_EQ(client.task_count(), 0u) << setting.description();
        EXPECT_EQ(client.pending_request_count(), 0);
        EXPECT_EQ(client.latest_outcome().outcome, RequestOutcome::None);
        EXPECT_EQ(client.submit_status_text(), "");
    }
}

// The status line shows whichever came last, a submission or a fetch; each type keeps its own
// fetch's outcome, so a failure of one is not hidden by a success of the other.
TEST(LeaderboardClient, NewestOutcomeAndEachTypesOwnFetchAreKept) {
    ScriptedTlsServer server(reply_by_route({{"POST /api.php", http_response(500, "")},
                                             {"GET /api.php?type=single", http_response(503, "")},
                                             {"GET /api.php?type=multi", http_response(200, two_rows)}}));
    LeaderboardClient client(server.endpoint());

    client.submit_result("Test CPU", RunKind::Single, 100, 1);
    ASSERT_TRUE(wait_until_idle(client));
    EXPECT_EQ(client.latest_outcome().outcome, RequestOutcome::SubmitFailed);
    EXPECT_EQ(client.latest_outcome().text, "Submit error: HTTP 500" + at(server));

    client.fetch_standings(RunKind::Single);
    ASSERT_TRUE(wait_until_idle(client));
    EXPECT_EQ(client.latest_outcome().outcome, RequestOutcome::FetchFailed)
        << "a later refresh failure shows";
    EXPECT_EQ(client.latest_outcome().text, "HTTP 503" + at(server));

    client.fetch_standings(RunKind::Multi);
    ASSERT_TRUE(wait_until_idle(client));
    EXPECT_EQ(client.latest_outcome().text, "") << "the newest request worked";
    EXPECT_EQ(client.fetch_outcome(RunKind::Single).error, "HTTP 503" + at(server));
    EXPECT_FALSE(client.fetch_outcome(RunKind::Single).received);
    EXPECT_TRUE(client.fetch_outcome(RunKind::Multi).received);
}

TEST(LeaderboardClient, PendingRequestsCountsEveryRequestInFlight) {
    ReplyGate gate;
    ScriptedTlsServer server(gate.holding(
        reply_by_route({{"POST /api.php", http_response(200, accepted)},
                        {"GET /api.php?type=single", http_response(200, two_rows)},
                        {"GET /api.php?type=multi", http_response(200, R"({"leaderboard":[]})")}})));
    LeaderboardClient client(server.endpoint());

    client.fetch_standings(RunKind::Single);
    client.fetch_standings(RunKind::Multi);
    client.submit_result("Zen 4", RunKind::Single, 5000, 1);
    EXPECT_EQ(client.pending_request_count(), 3);
    ASSERT_TRUE(wait_until([&] { return server.raw_requests().size() == 3; }));
    EXPECT_EQ(client.pending_request_count(), 3);
    EXPECT_EQ(client.submit_status_text(), "Submitting...");
    EXPECT_EQ(client.latest_outcome().outcome, RequestOutcome::Submitting);

    gate.open();
    ASSERT_TRUE(wait_until_idle(client));
    EXPECT_EQ(client.submit_status_text(), "Submitted OK (single 5000)");
    EXPECT_EQ(client.fetch_outcome(RunKind::Single).error + client.fetch_outcome(RunKind::Multi).error, "");
    EXPECT_EQ(client.standings(RunKind::Single).size(), 2u);
}

TEST(LeaderboardClient, ConcurrentFetchesEachStoreTheirOwnType) {
    ScriptedTlsServer server(
        reply_by_route({{"GET /api.php?type=single", http_response(200, two_rows)},
                        {"GET /api.php?type=multi",
                         http_response(200, R"({"leaderboard":[{"cpu":"M","avg_score":9,"runs":2}]})")}}));
    LeaderboardClient client(server.endpoint());

    for (int press = 0; press < 4; ++press) {
        client.fetch_standings(RunKind::Single);
        client.fetch_standings(RunKind::Multi);
    }
    ASSERT_TRUE(wait_until_idle(client));

    EXPECT_EQ(server.raw_requests().size(), 8u);
    EXPECT_EQ(cpus(client.standings(RunKind::Single)), (std::vector<std::string>{"Zen 4", "Core i9"}));
    EXPECT_EQ(cpus(client.standings(RunKind::Multi)), std::vector<std::string>{"M"});
    EXPECT_EQ(client.fetch_outcome(RunKind::Single).error + client.fetch_outcome(RunKind::Multi).error, "");
}

TEST(LeaderboardClient, FinishedRequestThreadsAreCollectedByTheNextStart) {
    ReplyGate gate;
    ScriptedTlsServer server(gate.holding(reply_always(http_response(200, "{}"))));
    LeaderboardClient client(server.endpoint());
    for (int i = 0; i < 3; ++i) client.fetch_standings(RunKind::Single);
    gate.open();
    ASSERT_TRUE(wait_until_idle(client));
    EXPECT_EQ(client.task_count(), 3u);

    client.fetch_standings(RunKind::Multi);
    EXPECT_EQ(client.task_count(), 1u);

    client.shutdown();
    EXPECT_EQ(client.task_count(), 0u);
    EXPECT_EQ(client.pending_request_count(), 0);
}

TEST(LeaderboardClient, ShutdownWaitsForTheRequestsInFlight) {
    ReplyGate gate;
    ScriptedTlsServer server(gate.holding(reply_always(http_response(200, two_rows))));
    LeaderboardClient client(server.endpoint());
    client.fetch_standings(RunKind::Multi);
    ASSERT_TRUE(wait_until([&] { return server.raw_requests().size() == 1; }));

    std::jthread opener([&gate] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        gate.open();
    });
    client.shutdown();

    EXPECT_EQ(client.pending_request_count(), 0);
    EXPECT_EQ(client.standings(RunKind::Multi).size(), 2u);
}

TEST(LeaderboardClient, TextFromTheServerIsKeptPrintable) {
    const std::string hostile_rows =
        R"({"leaderboard":[{"cpu":"\u001b[2J\u001b[31mRed","avg_score":3,"runs":1},)"
        R"({"cpu":"A\r\nFake line: 1. Winner 99999","avg_score":2,"runs":1},)"
        R"({"cpu":"\u001b]0;Title\u0007\u009b1m\u202eTxet","avg_score":1,"runs":1}]})";
    ScriptedTlsServer server(
        reply_by_route({{"GET /api.php?type=single", http_response(200, hostile_rows)},
                        {"POST /api.php", http_response(200, "{\"ok\":false,\"why\":\"\\u001b\"} \r\n")}}));
    LeaderboardClient client(server.endpoint());
    client.fetch_standings(RunKind::Single);
    ASSERT_TRUE(wait_until_idle(client));
    EXPECT_EQ(
        cpus(client.standings(RunKind::Single)),
        (std::vector<std::string>{"?[2J?[31mRed", "A??Fake line: 1. Winner 99999", "?]0;Title??1m?Txet"}));
    client.submit_result("Mine", RunKind::Single, 1, 1);
    ASSERT_TRUE(wait_until_idle(client));
    EXPECT_EQ(client.submit_status_text(),
              "Submit error: Server rejected: {\"ok\":false,\"why\":\"\\u001b\"} ??" + at(server));
}

TEST(LeaderboardClient, AbortEndsTheRequestsInFlightAtOnce) {
    using namespace std::chrono_literals;
    // A reply dripped two bytes every half second, so slowly that only the time limit would end it.
    ScriptedTlsServer server(reply_always(http_response(200, std::string(400, ' '))), loopback_identity(),
                             {2, 500ms});
    LeaderboardClient client(server.endpoint());
    client.fetch_standings(RunKind::Single);
    ASSERT_TRUE(wait_until([&] { return server.raw_requests().size() == 1; }));
    client.abort();
    ASSERT_TRUE(wait_until_idle(client));
    EXPECT_EQ(client.fetch_outcome(RunKind::Single).error, "HttpSendRequest failed: stopped" + at(server));
    // Well before the time limit would have ended it (30 pieces by then).
    EXPECT_LT(server.pieces_sent(), 15);
}

TEST(LeaderboardClient, AcceptedRunsStandingComesOnARequestOfItsOwnOutsideTheLoadingCount) {
    const std::string standing_route = "GET /api.php?type=single&cpu=Zen%204&score=5000";
    const std::string standing =
        R"({"cpu":"Zen 4","runs":3,"avg_score":5000,"faster_than":50,"rank":1,"rows":2})";
    struct Case {
        std::string reply;
        StandingOutcome::State state;
        std::string error;
    };
    const std::vector<Case> cases = {
        {http_response(200, standing), StandingOutcome::State::Ready, ""},
        {http_response(429, R"({"error":"too many"})"), StandingOutcome::State::Failed, "HTTP 429"},
        {http_response(200, R"({"cpu":"Zen 4","runs":3,"faster_than":250,"rows":2})"),
         StandingOutcome::State::Failed, "Answer not understood: \"faster_than\" is 250.000000"},
    };
    for (const Case& c : cases) {
        ReplyGate gate;
        ScriptedTlsServer server(
            [&, route = reply_by_route({{"POST /api.php", http_response(200, accepted)},
                                        {"GET /api.php?type=single", http_response(200, two_rows)},
                                        {standing_route, c.reply}})](const RecordedRequest& r) {
                if (r.method + " " + r.target == standing_route) return gate.holding(route)(r);
                return route(r);
            });
        LeaderboardClient client(server.endpoint());
        client.submit_result("Zen 4", RunKind::Single, 5000, 1);
        // The submission is done while its standing is still being asked: no "Loading...".
        ASSERT_TRUE(wait_until(
            [&] { return client.standing_request_count() == 1 && client.pending_request_count() == 0; }));
        EXPECT_EQ(client.run_standing().state, StandingOutcome::State::Waiting);
        EXPECT_EQ(client.submit_status_text(), "Submitted OK (single 5000)");
        gate.open();
        ASSERT_TRUE(wait_until_idle(client));

        const StandingOutcome outcome = client.run_standing();
        EXPECT_EQ(outcome.state, c.state) << c.reply;
        EXPECT_EQ(outcome.score, 5000);
        if (c.state == StandingOutcome::State::Ready) {
            EXPECT_EQ(outcome.standing.faster_than, 50.0);
        }
        if (!c.error.empty()) {
            EXPECT_EQ(outcome.error, c.error + at(server));
        }
        // A standing that failed leaves the submission's status as it was.
        EXPECT_EQ(client.submit_status_text(), "Submitted OK (single 5000)");
        EXPECT_EQ(client.latest_outcome().text, "Submitted OK (single 5000)");
    }
}

TEST(LeaderboardClient, ADrippingStandingEndsWithTheClientAndTheNextSubmissionClearsTheOldOne) {
    using namespace std::chrono_literals;
    ScriptedTlsServer server(reply_by_route({{"POST /api.php", http_response(200, accepted)},
                                             {"GET /api.php?type=multi", http_response(200, two_rows)}}));
    LeaderboardClient client(server.endpoint());
    StandingOutcome earlier;
    earlier.state = StandingOutcome::State::Ready;
    earlier.score = 4000;
    client.set_results_for_testing({.run_standing = earlier});
    // The run's own standing is refused (404): it fails, and the earlier run's is gone.
    client.submit_result("Zen 4", RunKind::Multi, 4100, 8);
    ASSERT_TRUE(wait_until_idle(client));
    EXPECT_EQ(client.run_standing().state, StandingOutcome::State::Failed);
    EXPECT_EQ(client.run_standing().score, 4100);

    // A chosen processor's standing that drips: destroying the client ends it at once.
    ScriptedTlsServer dripping(reply_always(http_response(200, std::string(400, ' '))), loopback_identity(),
                               {2, 300ms});
    auto slow = std::make_unique<LeaderboardClient>(dripping.endpoint());
    slow->fetch_processor_standing(RunKind::Multi, "Zen 4");
    ASSERT_TRUE(wait_until([&] { return dripping.requests().size() == 1; }));
    EXPECT_EQ(slow->processor_standing().state, StandingOutcome::State::Waiting);
    EXPECT_EQ(slow->pending_request_count(), 0);
    const auto started = std::chrono::steady_clock::now();
    slow.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, exchange_time_limit);
}

}  // namespace vornmark
