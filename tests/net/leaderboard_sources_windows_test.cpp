// The leaderboard setting in the registry, under Wine in this test program's own prefix: the
// user's value (HKCU) before the machine's (HKLM, which the installer writes), both after the
// environment.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "net/leaderboard_setting.h"
#include "tests/support/environment.h"

namespace vornmark {

namespace {

constexpr const wchar_t* key_path = L"Software\\Vornmark";
constexpr const wchar_t* value_name = L"LeaderboardUrl";

void remove_value(HKEY root) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, key_path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    ::RegDeleteValueW(key, value_name);
    ::RegCloseKey(key);
}

void store_value(HKEY root, DWORD type, const void* data, DWORD bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(root, key_path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegSetValueExW(key, value_name, 0, type, static_cast<const BYTE*>(data), bytes),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
}

void store_url(HKEY root, const std::wstring& url) {
    store_value(root, REG_SZ, url.c_str(), static_cast<DWORD>((url.size() + 1) * sizeof(wchar_t)));
}

class RegistryPlaces : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        remove_value(HKEY_CURRENT_USER);
        remove_value(HKEY_LOCAL_MACHINE);
    }
    const ScopedEnvironment environment{"VORNMARK_LEADERBOARD_URL", "VORNMARK_LEADERBOARD_CA"};
};

TEST_F(RegistryPlaces, EnvironmentThenUserThenMachine) {
    struct Case {
        const wchar_t* user;
        const wchar_t* machine;
        const char* environment;
        const char* shown;
    };
    for (const Case& c : {
             Case{L"https://user.example:8443", L"https://machine.example", "https://env.example",
                  "https://env.example (set by the environment variable VORNMARK_LEADERBOARD_URL)"},
             Case{L"https://user.example:8443", L"https://machine.example", nullptr,
                  "https://user.example:8443 (set in the registry, HKEY_CURRENT_USER\\Software\\Vornmark)"},
             Case{L"", L"https://machine.example", nullptr,
                  "https://machine.example (set in the registry, HKEY_LOCAL_MACHINE\\Software\\Vornmark)"},
             Case{nullptr, L"https://machine.example", nullptr,
                  "https://machine.example (set in the registry, HKEY_LOCAL_MACHINE\\Software\\Vornmark)"},
         }) {
        TearDown();
        if (c.user) store_url(HKEY_CURRENT_USER, c.user);
        if (c.machine) store_url(HKEY_LOCAL_MACHINE, c.machine);
        set_environment_variable("VORNMARK_LEADERBOARD_URL",
                                 c.environment ? std::optional<std::string>(c.environment) : std::nullopt);
        EXPECT_EQ(leaderboard_setting().description(), c.shown);
    }

    // Nothing in either key (an installation without LEADERBOARD_URL) and no build default: none, and
    // the way to set one is the user's registry value.
    TearDown();
    set_environment_variable("VORNMARK_LEADERBOARD_URL", std::nullopt);
    if (build_default_source().url) GTEST_SKIP() << "this build has a default leaderboard";
    EXPECT_TRUE(leaderboard_setting().none());
    EXPECT_EQ(
        no_leaderboard_line(),
        "No leaderboard set. To use one, set the string value LeaderboardUrl to https://HOST:PORT under "
        "HKEY_CURRENT_USER\\Software\\Vornmark (the README's \"Pointing the program at your server\" says "
        "more).");
}

TEST_F(RegistryPlaces, BadValuesAreRefusedNotSkipped) {
    store_url(HKEY_LOCAL_MACHINE, L"https://machine.example");
    store_url(HKEY_CURRENT_USER, L"http://user.example");
    EXPECT_EQ(leaderboard_setting().error.rfind("HKEY_CURRENT_USER\\Software\\Vornmark\\LeaderboardUrl "
                                                "'http://user.example' is not a leaderboard URL: plain http",
                                                0),
              0u)
        << leaderboard_setting().error;

    remove_value(HKEY_CURRENT_USER);
    const DWORD number = 443;
    store_value(HKEY_LOCAL_MACHINE, REG_DWORD, &number, sizeof number);
    EXPECT_EQ(leaderboard_setting().error,
              "HKEY_LOCAL_MACHINE\\Software\\Vornmark\\LeaderboardUrl is not a string value (REG_SZ)");

    // Windows checks certificates against its own trusted roots; a CA file would be ignored.
    set_environment_variable("VORNMARK_LEADERBOARD_URL", "https://env.example");
    set_environment_variable("VORNMARK_LEADERBOARD_CA", "C:\\ca.pem");
    EXPECT_NE(leaderboard_setting().error.find("VORNMARK_LEADERBOARD_CA is not used on Windows"),
              std::string::npos)
        << leaderboard_setting().error;
}

}  // namespace

}  // namespace vornmark
