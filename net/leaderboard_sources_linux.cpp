#include "net/leaderboard_setting.h"

#include <cstdlib>
#include <string>

namespace vornmark {

namespace {

// $XDG_CONFIG_HOME/vornmark/vornmark.conf; a relative XDG_CONFIG_HOME is invalid and ignored, and
// the default is ~/.config.
std::string user_config_path() {
    const char* config_home = std::getenv("XDG_CONFIG_HOME");
    if (config_home != nullptr && config_home[0] == '/')
        return std::string(config_home) + "/vornmark/vornmark.conf";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/vornmark/vornmark.conf";
    return {};
}

}  // namespace

std::vector<SettingSource> platform_sources() {
    std::vector<SettingSource> sources;
    if (const std::string user = user_config_path(); !user.empty())
        sources.push_back(config_file_source(user));
    sources.push_back(config_file_source("/etc/vornmark/vornmark.conf"));
    return sources;
}

std::string platform_sources_help() {
    return "the user's ~/.config/vornmark/vornmark.conf (or $XDG_CONFIG_HOME/vornmark/vornmark.conf), the\n"
           "machine's /etc/vornmark/vornmark.conf (lines leaderboard_url = URL, leaderboard_ca = FILE)";
}

std::string platform_setting_example() {
    std::string file = user_config_path();
    if (file.empty()) file = "/etc/vornmark/vornmark.conf";
    return "add the line \"leaderboard_url = https://HOST:PORT\" to " + file;
}

bool platform_takes_ca_file() {
    return true;
}

}  // namespace vornmark
