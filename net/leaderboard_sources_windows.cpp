// The Windows configuration places: the string value LeaderboardUrl under Software\Vornmark, the
// user's (HKEY_CURRENT_USER) first, then the machine's (HKEY_LOCAL_MACHINE, which the installer
// writes from its LEADERBOARD_URL property).
#include <windows.h>

#include <string>

#include "net/leaderboard_setting.h"

namespace vornmark {

namespace {

constexpr const wchar_t* key_path = L"Software\\Vornmark";
constexpr const wchar_t* value_name = L"LeaderboardUrl";

std::string utf8_of(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                              nullptr, nullptr);
    return utf8;
}

SettingSource registry_source(HKEY root, const std::string& root_name) {
    SettingSource source;
    source.name = root_name + "\\Software\\Vornmark";
    source.where = "set in the registry, " + source.name;
    const std::string label = source.name + "\\LeaderboardUrl";

    DWORD bytes = 0;
    LSTATUS status = ::RegGetValueW(root, key_path, value_name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes);
    std::wstring text;
    if (status == ERROR_SUCCESS && bytes > 0) {
        text.resize(bytes / sizeof(wchar_t) + 1);
        bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status = ::RegGetValueW(root, key_path, value_name, RRF_RT_REG_SZ, nullptr, text.data(), &bytes);
        text.resize(status == ERROR_SUCCESS ? wcsnlen(text.data(), text.size()) : 0);
    }
    if (status == ERROR_FILE_NOT_FOUND) return source;
    if (status == ERROR_UNSUPPORTED_TYPE) {
        source.error = label + " is not a string value (REG_SZ)";
        return source;
    }
    if (status != ERROR_SUCCESS) {
        source.error = label + " cannot be read (error " + std::to_string(status) + ")";
        return source;
    }
    // An empty value sets nothing, like an unset environment variable.
    if (!text.empty()) source.url = SettingValue{utf8_of(text), label};
    return source;
}

}  // namespace

std::vector<SettingSource> platform_sources() {
    return {registry_source(HKEY_CURRENT_USER, "HKEY_CURRENT_USER"),
            registry_source(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE")};
}

std::string platform_sources_help() {
    return "the string value LeaderboardUrl under HKEY_CURRENT_USER\\Software\\Vornmark, then under\n"
           "HKEY_LOCAL_MACHINE\\Software\\Vornmark";
}

std::string platform_setting_example() {
    return "set the string value LeaderboardUrl to https://HOST:PORT under "
           "HKEY_CURRENT_USER\\Software\\Vornmark";
}

bool platform_takes_ca_file() {
    return false;
}

}  // namespace vornmark
