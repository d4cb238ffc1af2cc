// WinINet against the real leaderboard server on loopback (started by with-leaderboard-server).
// The server's throw-away CA is added to the trusted roots of this test's own Wine prefix
// (before the process's first exchange: the certificate chain engine keeps the roots it saw first).
// A child process run before that must fail to reach the server, so certificate checking is on.
#include <windows.h>
#include <winsock2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <thread>

#include "net/http.h"
#include "net/leaderboard_client.h"
#include "tests/net/unknown_host.h"
#include "tests/support/environment.h"
#include "tests/support/trusted_root_windows.h"
#include "tests/support/wait_until.h"

namespace vornmark {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// "localhost": Wine matches the certificate's DNS name, not its IP address.
HttpEndpoint server() {
    return HttpEndpoint{"localhost", std::atoi(environment("VORNMARK_TEST_SERVER_PORT").c_str()), ""};
}

// " (host:port)", as every failure message ends.
std::string at(const HttpEndpoint& endpoint) {
    return " (" + endpoint.host + ":" + std::to_string(endpoint.port) + ")";
}

std::string failure_of(const std::function<void()>& exchange) {
    try {
        exchange();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "no failure";
}

// Runs this program's WinInetWithoutTrust cases in a child process; its exit code.
DWORD run_untrusted_child() {
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" --gtest_filter=WinInetWithoutTrust.*";
    ::SetEnvironmentVariableA("VORNMARK_UNTRUSTED_CHILD", "1");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          nullptr, &startup, &process);
    ::SetEnvironmentVariableA("VORNMARK_UNTRUSTED_CHILD", nullptr);
    if (!started) return 1000;
    ::WaitForSingleObject(process.hThread, INFINITE);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1001;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

// A loopback server that takes one connection and answers its TLS hello with a 16 KiB handshake
// record, two bytes every half second, for at most a minute: never slow enough to look stalled,
// and never done, unless the client hangs up.
class DrippingHandshake {
public:
    DrippingHandshake() {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 4);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ::ntohs(address.sin_port);
        server_ = std::thread([this] { serve(); });
    }
    ~DrippingHandshake() {
        done_ = true;
        ::closesocket(listener_);
        server_.join();
        ::WSACleanup();
    }
    DrippingHandshake(const DrippingHandshake&) = delete;
    DrippingHandshake& operator=(const DrippingHandshake&) = delete;

    HttpEndpoint endpoint() const { return {"localhost", port_, ""}; }
    int pieces_sent() const { return pieces_.load(); }
    // Every piece sent, without the client hanging up.
    bool finished_dripping() const { return pieces_.load() == max_pieces; }

private:
    static constexpr int max_pieces = 120;

    void serve() {
        const SOCKET client = ::accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        // A handshake record (type 22, TLS 1.2, 16 KiB) holding a server hello of nearly as much.
        std::string record("\x16\x03\x03\x40\x00\x02\x00\x3f\xfc", 9);
        record.resize(2 * max_pieces, '\0');
        for (int piece = 0; piece < max_pieces && !done_; ++piece) {
            if (::send(client, record.data() + 2 * piece, 2, 0) != 2) break;
            ++pieces_;
            // Half a second, or less when the client speaks or hangs up.
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(client, &readable);
            timeval pause{0, 500000};
            if (::select(0, &readable, nullptr, nullptr, &pause) == 1) {
                char bytes[4096];
                if (::recv(client, bytes, sizeof bytes, 0) <= 0) break;
            }
        }
        ::closesocket(client);
    }

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::thread server_;
    std::atomic<bool> done_{false};
    std::atomic<int> pieces_{0};
};

class WinInetAgainstServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { trusted = trust_root_certificate(environment("VORNMARK_TEST_SERVER_CA")); }
    void SetUp() override {
        ASSERT_GT(server().port, 0) << "run through with-leaderboard-server";
        ASSERT_TRUE(trusted) << "the CA could not be added to the trusted roots";
    }
    static inline bool trusted = false;
};

}  // namespace

// Defined first, so that it runs before the CA is trusted.
TEST(WinInetWithoutTrust, RefusesTheServer) {
    if (environment("VORNMARK_UNTRUSTED_CHILD") != "1") {
        EXPECT_EQ(run_untrusted_child(), 0u);
        return;
    }
    EXPECT_EQ(failure_of([] { http_get(server(), "/api.php?type=single"); }),
              "HttpSendRequest failed: certificate not trusted" + at(server()));
}

TEST_F(WinInetAgainstServer, SubmitsAndFetchesTheStandings) {
    const std::string reply = http_post_json(
        server(), "/api.php", R"({"cpu_name":"Wine Test CPU","score":4321,"threads":1,"type":"single"})");
    EXPECT_EQ(reply, R"({"ok":true})");
    const std::string standings = http_get(server(), "/api.php?type=single");
    EXPECT_NE(standings.find(R"("cpu":"Wine Test CPU")"), std::string::npos) << standings;
    EXPECT_NE(standings.find(R"("avg_score":4321)"), std::string::npos) << standings;
}

// After an accepted submission the standing of the run comes over WinINet too, the name
// percent-encoded in the query.
TEST_F(WinInetAgainstServer, AcceptedRunsStandingArrives) {
    LeaderboardClient client(server());
    client.submit_result("Wine \xC3\xA9 & Co CPU", RunKind::Multi, 3000, 4);
    ASSERT_TRUE(wait_until(
        [&] { return client.pending_request_count() == 0 && client.standing_request_count() == 0; }));
    const StandingOutcome outcome = client.run_standing();
    ASSERT_EQ(outcome.state, StandingOutcome::State::Ready) << outcome.error;
    EXPECT_EQ(outcome.standing.cpu, "Wine \xC3\xA9 & Co CPU");
    EXPECT_EQ(outcome.standing.runs, 1);
    EXPECT_EQ(outcome.standing.faster_than, 50.0);
    EXPECT_EQ(outcome.standing.counts, std::vector<std::int64_t>{1});
}

// The fixed message of the step that failed, then why, then where.
TEST_F(WinInetAgainstServer, FailuresSayWhatWentWrongAndWhere) {
    const HttpEndpoint closed{"localhost", 1, ""};
    const HttpEndpoint no_host{"", 443, ""};
    // Wine checks the certificate's DNS name only, so its IP address does not match.
    const HttpEndpoint by_address{"127.0.0.1", server().port, ""};
    EXPECT_EQ(failure_of([&] { http_get(server(), "/no-such-page"); }), "HTTP 404" + at(server()));
    EXPECT_EQ(failure_of([&] { http_post_json(server(), "/api.php", std::string(5000, ' ')); }),
              "HTTP 413" + at(server()));
    EXPECT_EQ(failure_of([&] { http_get(closed, "/api.php?type=single"); }),
              "HttpSendRequest failed: connection refused" + at(closed));
    EXPECT_EQ(failure_of([&] { http_get(by_address, "/api.php"); }),
              "HttpSendRequest failed: host name mismatch" + at(by_address));
    EXPECT_EQ(failure_of([&] { http_get(no_host, "/api.php"); }),
              "InternetConnect failed: not a valid host name and port" + at(no_host));
    EXPECT_EQ(failure_of([&] { http_get(server(), "no slash"); }),
              "HttpOpenRequest failed: not a valid request path" + at(server()));
}

// The time limit ends an exchange however slowly the server sends, and a stop ends it at once.
// Wine, unlike Windows, does not end a handshake whose request handle is closed: the exchange
// must not wait for WinINet to give up (the server would drip on for a minute).
TEST(WinInetAgainstADrip, TheTimeLimitEndsAnEndlessHandshakeAndAStopEndsItAtOnce) {
    DrippingHandshake limited;
    EXPECT_EQ(failure_of([&] { http_get(limited.endpoint(), "/api.php?type=single"); }),
              "HttpSendRequest failed: timed out" + at(limited.endpoint()));
    // Ended by the limit, not by the server (which drips for 60 s).
    EXPECT_FALSE(limited.finished_dripping());

    DrippingHandshake stopped;
    std::stop_source stop;
    std::string outcome;
    std::thread exchange(
        [&] { outcome = failure_of([&] { http_get(stopped.endpoint(), "/api.php", stop.get_token()); }); });
    ASSERT_TRUE(wait_until([&] { return stopped.pieces_sent() >= 2; }));
    stop.request_stop();
    exchange.join();
    // Not "timed out": the stop ended it before the limit.
    EXPECT_EQ(outcome, "HttpSendRequest failed: stopped" + at(stopped.endpoint()));
}

// The machine's setting, as the installer writes it, takes the client to the server.
TEST_F(WinInetAgainstServer, RegistrySettingReachesTheServer) {
    const ScopedEnvironment environment{"VORNMARK_LEADERBOARD_URL", "VORNMARK_LEADERBOARD_CA"};
    const std::string url = "https://localhost:" + std::to_string(server().port);
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vornmark", 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(key, "LeaderboardUrl", 0, REG_SZ, reinterpret_cast<const BYTE*>(url.c_str()),
                     static_cast<DWORD>(url.size() + 1));

    LeaderboardClient client;
    EXPECT_EQ(client.setting().description(),
              url + " (set in the registry, HKEY_LOCAL_MACHINE\\Software\\Vornmark)");
    client.submit_result("Registry Test CPU", RunKind::Single, 2000, 1);
    EXPECT_TRUE(wait_until([&] { return client.pending_request_count() == 0; }));
    EXPECT_EQ(client.submit_status_text(), "Submitted OK (single 2000)");
    ::RegDeleteValueA(key, "LeaderboardUrl");
    ::RegCloseKey(key);
}

// Last in the file: when the machine's resolver does not answer, the lookup goes on after the
// exchange has been given up, and under Wine it may hold up the exchanges that follow it.
TEST(WinInetUnknownHost, IsNamedAsNotFoundOrTimedOut) {
    const HttpEndpoint unknown{unknown_host, 443, ""};
    const std::string failure = failure_of([&] { http_get(unknown, "/api.php"); });
    EXPECT_TRUE(names_the_unknown_host(failure, at(unknown))) << failure;
}

}  // namespace vornmark
