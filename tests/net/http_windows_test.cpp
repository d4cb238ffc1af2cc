// WinINet against the real leaderboard server on loopback (started by with-leaderboard-server).
// The server's throw-away CA is added to the trusted roots of this test's own Wine prefix
// (before the process's first exchange: the certificate chain engine keeps the roots it saw first).
// A child process run before that must fail to reach the server, so certificate checking is on.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>

#include "net/http.h"
#include "tests/support/trusted_root_windows.h"

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// "localhost": Wine matches the certificate's DNS name, not its IP address.
HttpEndpoint server() {
    return HttpEndpoint{"localhost", std::atoi(environment("VORNMARK_TEST_SERVER_PORT").c_str()), ""};
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
    EXPECT_EQ(failure_of([] { http_get(server(), "/api.php?type=single"); }), "HttpSendRequest failed");
}

TEST_F(WinInetAgainstServer, SubmitsAndFetchesTheStandings) {
    const std::string reply = http_post_json(
        server(), "/api.php", R"({"cpu_name":"Wine Test CPU","score":4321,"threads":1,"type":"single"})");
    EXPECT_EQ(reply, R"({"ok":true})");
    const std::string standings = http_get(server(), "/api.php?type=single");
    EXPECT_NE(standings.find(R"("cpu":"Wine Test CPU")"), std::string::npos) << standings;
    EXPECT_NE(standings.find(R"("avg_score":4321)"), std::string::npos) << standings;
}

TEST_F(WinInetAgainstServer, FailuresCarryTheFiveMessages) {
    const HttpEndpoint closed{"localhost", 1, ""};
    const HttpEndpoint no_host{"", 443, ""};
    EXPECT_EQ(failure_of([&] { http_get(server(), "/no-such-page"); }), "HTTP 404");
    EXPECT_EQ(failure_of([&] { http_post_json(server(), "/api.php", std::string(5000, ' ')); }), "HTTP 413");
    EXPECT_EQ(failure_of([&] { http_get(closed, "/api.php?type=single"); }), "HttpSendRequest failed");
    EXPECT_EQ(failure_of([&] { http_get(no_host, "/api.php"); }), "InternetConnect failed");
    EXPECT_EQ(failure_of([&] { http_get(server(), "no slash"); }), "HttpOpenRequest failed");
}
