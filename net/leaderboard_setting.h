#pragma once

#include <optional>
#include <string>
#include <vector>

#include "net/http.h"

// Which leaderboard the program talks to, chosen when it starts. The first place that sets a URL
// wins: the runner's flags, the environment, the user's configuration, the machine's
// configuration, and last the build's default. A CA file (Linux only) goes with the URL beside it.
// A place that is set but malformed is refused, never skipped: the program then talks to no
// leaderboard and says why.
struct LeaderboardSetting {
    HttpEndpoint endpoint;  // meaningful only when `error` is empty
    std::string source;     // where it came from, e.g. "VORNMARK_LEADERBOARD_URL"; empty: the build's default
    std::string error;      // why the setting was refused, one line; empty when it is in use

    bool refused() const { return !error.empty(); }
    // "https://bench.example.org:8443 (from /etc/vornmark/vornmark.conf)", with the CA file when one is
    // set, or "https://localhost (built-in default)"; the refusal when refused.
    std::string description() const;
};

// One value of one place, with the words that name it in messages ("VORNMARK_LEADERBOARD_CA",
// "/etc/vornmark/vornmark.conf line 3: leaderboard_url").
struct SettingValue {
    std::string text;
    std::string label;
};

// One place a setting may come from.
struct SettingSource {
    std::string name;  // "from ..." in the description
    std::optional<SettingValue> url;
    std::optional<SettingValue> ca_file;
    std::string error;  // the place itself could not be read or is malformed
};

// The runner's --leaderboard-url and --leaderboard-ca.
struct LeaderboardFlags {
    std::optional<std::string> url;
    std::optional<std::string> ca_file;
};

// The first of `sources` that sets anything decides; with none, the build's default.
LeaderboardSetting choose_leaderboard_setting(const std::vector<SettingSource>& sources);

// Every place in order, as this program reads them at start.
LeaderboardSetting leaderboard_setting(const LeaderboardFlags& flags = {});

SettingSource flag_source(const LeaderboardFlags& flags);
// VORNMARK_LEADERBOARD_URL and VORNMARK_LEADERBOARD_CA; an empty variable counts as unset.
SettingSource environment_source();
// A "key = value" file with the keys leaderboard_url and leaderboard_ca; a file that does not
// exist sets nothing.
SettingSource config_file_source(const std::string& path);

// The URL and CA file the build was configured with (VORNMARK_DEFAULT_LEADERBOARD_URL and _CA).
SettingSource build_default_source();

// This platform's configuration places, the user's first, then the machine's (Linux: the two
// vornmark.conf files; Windows: the LeaderboardUrl value under HKCU, then HKLM, Software\Vornmark).
std::vector<SettingSource> platform_sources();
// Those places in a few words for help texts.
std::string platform_sources_help();
// Whether the transport of this platform takes a CA file (Windows trusts its own certificate store).
bool platform_takes_ca_file();
