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
#include "net/leaderboard_client.h"
#include "tests/support/environment.h"
#include "tests/support/trusted_root_windows.h"
#include "tests/support/wait_until.h"

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

// The fixed message of the step that failed, then why, then where.
TEST_F(WinInetAgainstServer, FailuresSayWhatWentWrongAndWhere) {
    const HttpEndpoint closed{"localhost", 1, ""};
    const HttpEndpoint no_host{"", 443, ""};
    const HttpEndpoint unknown{"no-such-host.invalid", 443, ""};
    // Wine checks the certificate's DNS name only, so its IP address does not match.
    const HttpEndpoint by_address{"127.0.0.1", server().port, ""};
    EXPECT_EQ(failure_of([&] { http_get(server(), "/no-such-page"); }), "HTTP 404" + at(server()));
    EXPECT_EQ(failure_of([&] { http_post_json(server(), "/api.php", std::string(5000, ' ')); }),
              "HTTP 413" + at(server()));
    EXPECT_EQ(failure_of([&] { http_get(closed, "/api.php?type=single"); }),
              "HttpSendRequest failed: connection refused" + at(closed));
    EXPECT_EQ(failure_of([&] { http_get(unknown, "/api.php"); }),
              "HttpSendRequest failed: host not found" + at(unknown));
    EXPECT_EQ(failure_of([&] { http_get(by_address, "/api.php"); }),
              "HttpSendRequest failed: host name mismatch" + at(by_address));
    EXPECT_EQ(failure_of([&] { http_get(no_host, "/api.php"); }),
              "InternetConnect failed: not a valid host name and port" + at(no_host));
    EXPECT_EQ(failure_of([&] { http_get(server(), "no slash"); }),
              "HttpOpenRequest failed: not a valid request path" + at(server()));
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
    EXPECT_EQ(client.setting().description(), url + " (from HKEY_LOCAL_MACHINE\\Software\\Vornmark)");
    client.submit_result("Registry Test CPU", RunKind::Single, 2000, 1);
    EXPECT_TRUE(wait_until([&] { return client.pending_request_count() == 0; }));
    EXPECT_EQ(client.submit_status_text(), "Submitted OK (single 2000)");
    ::RegDeleteValueA(key, "LeaderboardUrl");
    ::RegCloseKey(key);
}
