// The HTTP layer of the real server against hand-made requests on raw sockets: framing,
// header limits, pipelining, and clients that are slow or silent on purpose.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/server/test_http_client.h"
#include "tests/support/leaderboard_server.h"

namespace vornmark::server {

namespace {

// A TCP connection to the server from a chosen loopback address (all of 127.0.0.0/8
// is loopback), so that tests can act as several clients.
class RawConnection {
public:
    RawConnection(int port, const char* from = "127.0.0.1") {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, from, &local.sin_addr);
        bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(static_cast<std::uint16_t>(port));
        server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0;
    }
    ~RawConnection() { close(fd_); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool connected() const { return connected_; }
    bool send_text(const std::string& text) {
        std::size_t sent = 0;
        while (sent < text.size()) {
            ssize_t n = ::send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }
    // Everything the server sends until it closes the connection or is quiet for
    // `quiet` (a bound against hangs, not a measurement).
    std::string receive(std::chrono::milliseconds quiet = std::chrono::milliseconds(3000)) {
        std::string got;
        char buffer[8192];
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(quiet.count())) <= 0) break;
            ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed_ = true;
                break;
            }
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }
    bool closed_by_server() const { return closed_; }

    // Sends `text` a byte every `pause` (starting over when it runs out) until the server
    // closes the connection; gives up after `bound`. Returns whether the server closed it.
    bool drip_until_closed(const std::string& text, std::chrono::milliseconds pause,
                           std::chrono::seconds bound) {
        const auto give_up = std::chrono::steady_clock::now() + bound;
        for (std::size_t i = 0; std::chrono::steady_clock::now() < give_up; ++i) {
            if (!text.empty() && !send_text(text.substr(i % text.size(), 1))) return true;
            receive(pause);
            if (closed_) return true;
        }
        return false;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
    bool closed_ = false;
};

const std::string valid_body = R"({"cpu_name":"Framed CPU","score":100,"threads":1,"type":"single"})";

std::string post_with_headers(const std::string& headers, const std::string& body = valid_body) {
    return "POST /api.php HTTP/1.1\r\nHost: localhost\r\nContent-Type: application/json\r\n" + headers +
           "\r\n" + body;
}

int status_of(const std::string& reply) {
    if (reply.rfind("HTTP/1.", 0) != 0 || reply.size() < 12) return 0;
    return std::atoi(reply.c_str() + 9);
}

std::string content_length(std::size_t n) {
    return "Content-Length: " + std::to_string(n) + "\r\n";
}

LeaderboardServerProcess plain_server() {
    LeaderboardServerOptions options;
    options.plain_http = true;
    return LeaderboardServerProcess(options);
}

void expect_clean_stop(LeaderboardServerProcess& server) {
    EXPECT_EQ(server.stop(), 0) << server.log_text();
}

std::string standings_text(const LeaderboardServerProcess& server) {
    TestRequest request;
    request.url = server.url() + "/api.php?type=single";
    return send_request(request).body;
}

}  // namespace

TEST(HttpFraming, RequestsThatBreakTheRulesGetOneJsonErrorAndACloseAndNothingIsStored) {
    LeaderboardServerProcess server = plain_server();
    const std::string length = content_length(valid_body.size());
    auto get_with = [](const std::string& target, const std::string& headers) {
        return "GET " + target + " HTTP/1.1\r\n" + headers + "\r\n";
    };
    struct Case {
        const char* what;
        std::string request;
        int status;
    };
    const Case cases[] = {
        {"two different lengths", post_with_headers(length + "Content-Length: 5\r\n"), 400},
        {"the same length twice", post_with_headers(length + length), 400},
        {"a length beside chunked coding", post_with_headers(length + "Transfer-Encoding: chunked\r\n"), 400},
        // Refused on the declared length alone: the body is never sent.
        {"a declared length over the limit", post_with_headers("Content-Length: 100000\r\n", ""), 413},
        {"a space before the colon",
         post_with_headers("Content-Length : " + std::to_string(valid_body.size()) + "\r\n"), 400},
        {"a coding other than chunked", post_with_headers("Transfer-Encoding: gzip, chunked\r\n", ""), 501},
        {"identity coding", post_with_headers("Transfer-Encoding: identity\r\n"), 501},
        {"HTTP/1.1 without Host", get_with("/api.php?type=single", ""), 400},
        {"two Hosts", get_with("/api.php?type=single", "Host: a\r\nHost: b\r\n"), 400},
        {"a header name that is no token", get_with("/api.php?type=single", "Host: a\r\nX(A): 1\r\n"), 400},
        {"a control character in a value", get_with("/api.php?type=single", "Host: a\r\nX-A: 1\x01\r\n"),
         400},
        // The request line counts toward the head's 16 KiB.
        {"a long request target",
         get_with("/api.php?type=single&x=" + std::string(17 * 1024, 'a'), "Host: a\r\n"), 414},
        {"long headers",
         get_with("/api.php?type=single", "Host: a\r\nX-F: " + std::string(17 * 1024, 'a') + "\r\n"), 431},
    };
    for (const Case& c : cases) {
        RawConnection connection(server.port());
        ASSERT_TRUE(connection.connected());
        ASSERT_TRUE(connection.send_text(c.request)) << c.what;
        const std::string reply = connection.receive();
        EXPECT_EQ(status_of(reply), c.status) << c.what << ": " << reply;
        // One reply, ours, with a JSON body.
        EXPECT_EQ(reply.find("\nHTTP/1."), std::string::npos) << c.what << ": " << reply;
        EXPECT_NE(reply.find("Content-Type: application/json"), std::string::npos) << c.what << ": " << reply;
        const std::size_t body = reply.find("\r\n\r\n");
        EXPECT_TRUE(body != std::string::npos &&
                    nlohmann::json::parse(reply.substr(body + 4), nullptr, false).contains("error"))
            << c.what << ": " << reply;
        EXPECT_TRUE(connection.closed_by_server()) << c.what;
    }
    // The HTTP library refuses a few heads itself before they reach the checks (with a
    // page of its own): a Content-Length it cannot read, a line without a colon, an
    // unknown protocol version. They get 400 and a close all the same.
    for (const std::string& request :
         {post_with_headers("Content-Length: abc\r\n"), post_with_headers("Content-Length: -1\r\n"),
          post_with_headers("Content-Length: +" + std::to_string(valid_body.size()) + "\r\n"),
          get_with("/api.php?type=single", "Host: a\r\nNo colon here\r\n"),
          std::string("GET /api.php?type=single HTTP/7.1\r\nHost: a\r\n\r\n")}) {
        RawConnection connection(server.port());
        ASSERT_TRUE(connection.send_text(request));
        const std::string reply = connection.receive();
        EXPECT_GE(status_of(reply), 400) << request << ": " << reply;
        EXPECT_TRUE(connection.closed_by_server()) << request;
    }
    EXPECT_EQ(standings_text(server), R"({"leaderboard":[]})");
}

TEST(HttpFraming, HeadersOverSixteenKibibytesGet431OrACloseAndTheServerCarriesOn) {
    LeaderboardServerProcess server = plain_server();
    const std::string get = "GET /api.php?type=single HTTP/1.1\r\nHost: localhost\r\n";
    for (std::size_t size : {std::size_t{17} * 1024, std::size_t{4} * 1024 * 1024}) {
        RawConnection connection(server.port());
        // The server may close while the headers still arrive; then sending fails, which is fine.
        connection.send_text(get + "X-Filler: " + std::string(size, 'a') + "\r\n\r\n");
        std::string reply = connection.receive();
        int status = status_of(reply);
        EXPECT_TRUE(status == 431 || (status == 0 && connection.closed_by_server()))
            << size << " bytes: " << reply.substr(0, 200);
    }
    // Generous headers below the limit are still served.
    RawConnection ordinary(server.port());
    ordinary.send_text(get + "X-Filler: " + std::string(8 * 1024, 'a') + "\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(status_of(ordinary.receive()), 200);
}

TEST(HttpFraming, PipelinedRequestsAreAllAnsweredInOrder) {
    LeaderboardServerProcess server = plain_server();
    const std::string get = "GET /api.php?type=single HTTP/1.1\r\nHost: localhost\r\n\r\n";
    RawConnection connection(server.port());
    ASSERT_TRUE(connection.send_text(
        get + post_with_headers(content_length(valid_body.size())) + get +
        "GET /api.php?type=multi HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n"));
    std::string replies = connection.receive();
    std::vector<std::string> bodies;
    for (std::size_t at = replies.find("\r\n\r\n"); at != std::string::npos;) {
        std::size_t next = replies.find("HTTP/1.1 ", at);
        bodies.push_back(
            replies.substr(at + 4, next == std::string::npos ? std::string::npos : next - at - 4));
        at = next == std::string::npos ? next : replies.find("\r\n\r\n", next);
    }
    ASSERT_EQ(bodies.size(), 4u) << replies;
    EXPECT_EQ(bodies[0], R"({"leaderboard":[]})");
    EXPECT_EQ(bodies[1], R"({"ok":true})");
    EXPECT_EQ(bodies[2], R"({"leaderboard":[{"avg_score":100,"cpu":"Framed CPU","runs":1}]})");
    EXPECT_EQ(bodies[3], R"({"leaderboard":[]})");
}

TEST(HttpFraming, SlowAndSilentClientsDoNotStopService) {
    LeaderboardServerOptions options;
    options.plain_http = true;
    LeaderboardServerProcess server(options);
    // Sixteen clients sending their headers a byte at a time, two hundred that never
    // say anything, all from addresses other than the ordinary client's.
    std::vector<std::unique_ptr<RawConnection>> attackers;
    for (int i = 0; i < 16; ++i) {
        attackers.push_back(std::make_unique<RawConnection>(server.port(), "127.0.0.2"));
        attackers.back()->send_text("G");
    }
    for (int i = 0; i < 200; ++i)
        attackers.push_back(std::make_unique<RawConnection>(server.port(), "127.0.0.3"));
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 16; ++i) attackers[i]->send_text("E");
        TestRequest request;
        request.url = server.url() + "/api.php?type=single";
        TestReply reply = send_request(request);
        EXPECT_EQ(reply.status, 200) << reply.error;
    }
    // One address gets at most its share of connections; the server closes the rest.
    int closed = 0;
    for (int i = 16; i < 216; ++i) {
        attackers[i]->receive(std::chrono::milliseconds(1));
        if (attackers[i]->closed_by_server()) ++closed;
    }
    EXPECT_GE(closed, 200 - 64);
    EXPECT_EQ(server.stop(), 0) << server.log_text();
}

TEST(HttpFraming, ARequestThatArrivesTooSlowlyIsClosedAtItsDeadline) {
    LeaderboardServerOptions options;
    options.plain_http = true;
    options.extra_args = {"--request-timeout", "1"};
    LeaderboardServerProcess server(options);
    const std::string get = "GET /api.php?type=single HTTP/1.1\r\nHost: localhost\r\n\r\n";
    struct Case {
        const char* what;
        std::string sent_at_once;
        std::string dripped;
    };
    const Case cases[] = {
        {"a head sent a byte at a time", "", get},
        {"a body sent a byte at a time", post_with_headers(content_length(valid_body.size()), ""),
         valid_body},
        {"nothing at all", "", ""},
        {"nothing after a reply", get, ""},
    };
    for (const Case& c : cases) {
        RawConnection connection(server.port());
        ASSERT_TRUE(connection.send_text(c.sent_at_once)) << c.what;
        // Each byte would keep an idle timer going for ever; the deadline does not move.
        EXPECT_TRUE(
            connection.drip_until_closed(c.dripped, std::chrono::milliseconds(100), std::chrono::seconds(30)))
            << c.what;
    }
    expect_clean_stop(server);
}

TEST(HttpFraming, AtTheConnectionLimitTheConnectionWaitingLongestMakesRoom) {
    LeaderboardServerOptions options;
    options.plain_http = true;
    options.extra_args = {"--max-connections", "8", "--request-timeout", "600"};
    LeaderboardServerProcess server(options);
    std::vector<std::unique_ptr<RawConnection>> waiting;
    waiting.push_back(std::make_unique<RawConnection>(server.port(), "127.0.0.2"));
    // The first one has clearly waited longest.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    for (int i = 1; i < 8; ++i)
        waiting.push_back(std::make_unique<RawConnection>(server.port(), "127.0.0.2"));
    // Without room made, this would wait for ten minutes.
    EXPECT_EQ(standings_text(server), R"({"leaderboard":[]})");
    std::vector<int> closed;
    for (int i = 0; i < 8; ++i) {
        waiting[i]->receive(std::chrono::milliseconds(1));
        if (waiting[i]->closed_by_server()) closed.push_back(i);
    }
    EXPECT_EQ(closed, std::vector<int>{0});
    expect_clean_stop(server);
}

TEST(LeaderboardServerCommandLine, ASecondServerOnAPortInUseExitsWithOneLine) {
    LeaderboardServerProcess first = plain_server();
    CommandResult second =
        run_command({leaderboard_binary_path(), "--http", "--listen",
                     "127.0.0.1:" + std::to_string(first.port()), "--db", first.db_path()});
    EXPECT_EQ(second.exit_code, 1);
    EXPECT_EQ(std::count(second.output.begin(), second.output.end(), '\n'), 1) << second.output;
    EXPECT_NE(second.output.find("in use"), std::string::npos) << second.output;
}

}  // namespace vornmark::server
