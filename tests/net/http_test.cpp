#include "net/http.h"

#include "tests/net/scripted_tls_server.h"
#include "tests/net/unknown_host.h"
#include "vornmark_version.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <stop_token>
#include <thread>

#include "tests/support/wait_until.h"

namespace vornmark {

namespace {

// The message the transport raised, or "no error" followed by the body it returned.
template <typename Call>
std::string outcome_of(Call call) {
    try {
        return "no error: " + call();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
}

std::set<std::string> header_names(const RecordedRequest& request) {
    std::set<std::string> names;
    for (const auto& [name, value] : request.headers) {
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        names.insert(lower);
    }
    return names;
}

// A loopback port on which nothing listens.
int closed_port() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

// " (host:port)", as every failure message ends.
std::string at(const HttpEndpoint& endpoint) {
    return " (" + endpoint.host + ":" + std::to_string(endpoint.port) + ")";
}

}  // namespace

TEST(Http, GetSendsPathAndUserAgentAndNothingElseOfItsOwn) {
    ScriptedTlsServer server(reply_always(http_response(200, "")));

    EXPECT_EQ(http_get(server.endpoint(), "/api.php?type=single"), "");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/api.php?type=single");
    EXPECT_EQ(requests[0].header_values("User-Agent"),
              std::vector<std::string>{"Vornmark/" VORNMARK_VERSION});
    EXPECT_EQ(header_names(requests[0]), (std::set<std::string>{"host", "user-agent"}));
    EXPECT_EQ(requests[0].body, "");
}

TEST(Http, PostSendsBodyBytesUnchangedWithOnlyTheJsonContentType) {
    ScriptedTlsServer server(reply_always(http_response(200, R"({"ok":true})")));
    // Longer than curl's threshold for "Expect: 100-continue", with bytes no text conversion may touch.
    std::string body = R"({"cpu_name":"Caf)"
                       "\xc3\xa9"
                       R"( \u0000","pad":")" +
                       std::string(3000, 'x') + "\"}";
    body += std::string("\0\xff\r\n", 4);

    EXPECT_EQ(http_post_json(server.endpoint(), "/api.php", body), R"({"ok":true})");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, "/api.php");
    EXPECT_EQ(requests[0].body, body);
    EXPECT_EQ(requests[0].header_values("Content-Type"), std::vector<std::string>{"application/json"});
    EXPECT_EQ(requests[0].header_values("User-Agent"),
              std::vector<std::string>{"Vornmark/" VORNMARK_VERSION});
    EXPECT_EQ(header_names(requests[0]),
              (std::set<std::string>{"host", "user-agent", "content-type", "content-length"}));
}

TEST(Http, StatusOtherThan200RaisesItsNumberWithoutFollowingRedirects) {
    const std::string redirect = "HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 0\r\n"
                                 "Connection: close\r\n\r\n";
    for (const auto& [response, expected] : std::vector<std::pair<std::string, std::string>>{
             {http_response(201, R"({"ok":true})"), "HTTP 201"},
             {"HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n", "HTTP 204"},
             {redirect, "HTTP 302"},
             {http_response(500, std::string(100000, 'e')), "HTTP 500"},
         }) {
        ScriptedTlsServer server(reply_always(response));
        const std::string message = expected + at(server.endpoint());
        EXPECT_EQ(outcome_of([&] { return http_get(server.endpoint(), "/api.php"); }), message);
        EXPECT_EQ(outcome_of([&] { return http_post_json(server.endpoint(), "/api.php", "{}"); }), message);
        EXPECT_EQ(server.raw_requests().size(), 2u) << expected;
    }
}

TEST(Http, BodyOfManyReadsIsReturnedWholeUpToTheCap) {
    std::string large;
    for (int i = 0; large.size() < 50000; ++i) large += std::to_string(i) + ",";
    const std::string at_cap(max_response_body_bytes, 'c');
    ScriptedTlsServer server(reply_in_order(
        {http_response(200, large), http_response(200, at_cap), http_response(200, at_cap + "c")}));

    EXPECT_EQ(http_get(server.endpoint(), "/big"), large);
    EXPECT_EQ(http_get(server.endpoint(), "/big"), at_cap);
    // Past the cap a hostile server cannot make the client buffer without bound.
    EXPECT_EQ(outcome_of([&] { return http_get(server.endpoint(), "/big"); }),
              "HttpSendRequest failed: answer too large" + at(server.endpoint()));
}

TEST(Http, BodyThatBreaksOffFailsInsteadOfComingBackShort) {
    const std::string truncated =
        "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\n{\"leader";
    ScriptedTlsServer server(reply_always(truncated));

    EXPECT_EQ(outcome_of([&] { return http_get(server.endpoint(), "/api.php"); }),
              "HttpSendRequest failed: connection broken off" + at(server.endpoint()));
}

TEST(Http, CertificateNotTrustedForTheHostFailsToSend) {
    ScriptedTlsServer server(reply_always(http_response(200, "{}")));
    HttpEndpoint system_store = server.endpoint();
    system_store.ca_file = "";
    HttpEndpoint other_ca = server.endpoint();
    other_ca.ca_file = make_tls_identity("other-ca").cert_file;

    const std::string not_trusted = "HttpSendRequest failed: certificate not trusted" + at(server.endpoint());
    EXPECT_EQ(outcome_of([&] { return http_get(system_store, "/api.php"); }), not_trusted);
    EXPECT_EQ(outcome_of([&] { return http_get(other_ca, "/api.php"); }), not_trusted);

    // Trusted, but made out for another name.
    ScriptedTlsServer elsewhere(reply_always(http_response(200, "{}")),
                                make_tls_identity("elsewhere", "DNS:elsewhere.invalid"));
    EXPECT_EQ(outcome_of([&] { return http_get(elsewhere.endpoint(), "/api.php"); }),
              "HttpSendRequest failed: host name mismatch" + at(elsewhere.endpoint()));

    EXPECT_TRUE(server.raw_requests().empty());
    EXPECT_TRUE(elsewhere.raw_requests().empty());
}

TEST(Http, NothingListeningFailsToSend) {
    const HttpEndpoint endpoint{"127.0.0.1", closed_port(), loopback_identity().cert_file};

    const std::string refused = "HttpSendRequest failed: connection refused" + at(endpoint);
    EXPECT_EQ(outcome_of([&] { return http_get(endpoint, "/api.php"); }), refused);
    EXPECT_EQ(outcome_of([&] { return http_post_json(endpoint, "/api.php", "{}"); }), refused);
}

TEST(Http, HostThatDoesNotExistIsNamed) {
    const HttpEndpoint endpoint{unknown_host, 443, loopback_identity().cert_file};
    const std::string failure = outcome_of([&] { return http_get(endpoint, "/api.php"); });
    EXPECT_TRUE(names_the_unknown_host(failure, at(endpoint))) << failure;
}

TEST(Http, ServerThatNeverAnswersFailsAfterTheReceiveTimeout) {
    ScriptedTlsServer server([](const RecordedRequest&) { return std::optional<std::string>(); });

    EXPECT_EQ(outcome_of([&] { return http_get(server.endpoint(), "/api.php"); }),
              "HttpSendRequest failed: timed out" + at(server.endpoint()));
    EXPECT_EQ(server.raw_requests().size(), 1u);
}

TEST(Http, EndpointThatCannotFormAUrlFailsToConnect) {
    const std::string ca = loopback_identity().cert_file;
    for (const HttpEndpoint& endpoint :
         {HttpEndpoint{"", 443, ca}, HttpEndpoint{"127.0.0.1", 0, ca}, HttpEndpoint{"127.0.0.1", 65536, ca},
          HttpEndpoint{"bad host", 443, ca}}) {
        EXPECT_EQ(outcome_of([&] { return http_get(endpoint, "/api.php"); }),
                  "InternetConnect failed: not a valid host name and port" + at(endpoint));
    }
}

TEST(Http, PathThatWouldAlterTheRequestFailsToOpen) {
    ScriptedTlsServer server(reply_always(http_response(200, "{}")));

    for (const std::string path : {"api.php", "", "/api.php?type=a b", "/api.php\r\nX-Injected: 1", "/a#b"}) {
        const std::string refused =
            "HttpOpenRequest failed: not a valid request path" + at(server.endpoint());
        EXPECT_EQ(outcome_of([&] { return http_get(server.endpoint(), path); }), refused) << path;
        EXPECT_EQ(outcome_of([&] { return http_post_json(server.endpoint(), path, "{}"); }), refused);
    }
    EXPECT_TRUE(server.raw_requests().empty());
}

TEST(Http, AReplyDrippedForEverEndsAtTheTimeLimitAndAStopEndsItAtOnce) {
    using namespace std::chrono_literals;
    // Two bytes every half second: never slow enough to count as a stall, and 100 s in all.
    const ReplyPace drip{2, 500ms};
    ScriptedTlsServer dripping(reply_always(http_response(200, std::string(400, ' '))), loopback_identity(),
                               drip);
    EXPECT_EQ(outcome_of([&] { return http_get(dripping.endpoint(), "/api.php?type=single"); }),
              "HttpSendRequest failed: timed out" + at(dripping.endpoint()));
    EXPECT_TRUE(wait_until([&] { return dripping.replies_cut_short() == 1; }));

    ScriptedTlsServer stopped(reply_always(http_response(200, std::string(400, ' '))), loopback_identity(),
                              drip);
    std::stop_source stop;
    std::string outcome;
    std::thread caller([&] {
        outcome = outcome_of(
            [&] { return http_get(stopped.endpoint(), "/api.php?type=single", stop.get_token()); });
    });
    ASSERT_TRUE(wait_until([&] { return stopped.raw_requests().size() == 1; }));
    stop.request_stop();
    caller.join();
    EXPECT_EQ(outcome, "HttpSendRequest failed: stopped" + at(stopped.endpoint()));
    EXPECT_TRUE(wait_until([&] { return stopped.replies_cut_short() == 1; }));
    // Well before the time limit would have ended it (30 pieces by then).
    EXPECT_LT(stopped.pieces_sent(), 15);
}

}  // namespace vornmark
