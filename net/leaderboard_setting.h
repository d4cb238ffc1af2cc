#pragma once

#include <optional>
#include <string>
#include <vector>

#include "net/http.h"

namespace vornmark {

// Which leaderboard the program talks to, chosen when it starts. The first place that sets a URL
// wins: the runner's flags, the environment, the user's configuration, the machine's
// configuration, and last the build's default. A CA file (Linux only) goes with the URL beside it.
// A place that is set but malformed is refused, never skipped: the program then talks to no
// leaderboard and says why. When no place sets one and the build has no default, there is none:
// a state of its own, not an error (nothing is fetched or submitted, and the program says how to
// set one).
struct LeaderboardSetting {
    HttpEndpoint endpoint;  // meaningful only when in_use()
    std::string source;     // where it came from, in plain words ("set in /etc/vornmark/vornmark.conf");
                            // empty: the build's default
    std::string error;      // why the setting was refused, one line; empty when it is in use
    std::string label;      // what the leaderboard is, when its source says ("local leaderboard (started by
                            // run.sh)"); empty otherwise

    bool refused() const { return !error.empty(); }
    // No place set a leaderboard and the build has no default.
    bool none() const { return error.empty() && endpoint.host.empty(); }
    bool in_use() const { return !refused() && !none(); }
    // "https://bench.example.org:8443 (set in /etc/vornmark/vornmark.conf)", with the CA file when one
    // is set; "https://bench.example.org (built-in default)"; "local leaderboard (started by run.sh),
    // https://127.0.0.1:8443"; the refusal when refused; no_leaderboard_text() when there is none.
    std::string description() const;
};

// The state without a leaderboard, in the words both front ends use.
inline constexpr const char* no_leaderboard_text = "No leaderboard set";
// How to set one on this platform, one sentence: the configuration line and the README section.
std::string how_to_set_a_leaderboard();
// no_leaderboard_text and how_to_set_a_leaderboard() on one line.
std::string no_leaderboard_line();

// One value of one place, with the words that name it in messages ("VORNMARK_LEADERBOARD_CA",
// "/etc/vornmark/vornmark.conf line 3: leaderboard_url").
struct SettingValue {
    std::string text;
    std::string label;
};

// One place a setting may come from.
struct SettingSource {
    std::string name;   // the place itself: a file's path, a variable's or a registry key's name
    std::string where;  // the description's plain words for it ("set in " + the path)
    std::string label;  // what the leaderboard it sets is, when the place says so
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
// VORNMARK_LEADERBOARD_STARTED_BY=run.sh says that scripts/run.sh set them for its own local
// leaderboard, so the program does not present them as the user's choice.
SettingSource environment_source();
// A "key = value" file with the keys leaderboard_url and leaderboard_ca; a file that does not
// exist sets nothing.
SettingSource config_file_source(const std::string& path);

// The URL and CA file the build was configured with (VORNMARK_DEFAULT_LEADERBOARD_URL and _CA);
// sets nothing when the build has no default.
SettingSource build_default_source();

// This platform's configuration places, the user's first, then the machine's (Linux: the two
// vornmark.conf files; Windows: the LeaderboardUrl value under HKCU, then HKLM, Software\Vornmark).
std::vector<SettingSource> platform_sources();
// Those places in a few words for help texts.
std::string platform_sources_help();
// Where a user of this platform sets a leaderboard, as an instruction: the line in the user's
// configuration file (Linux) or the registry value (Windows).
std::string platform_setting_example();
// Whether the transport of this platform takes a CA file (Windows trusts its own certificate store).
bool platform_takes_ca_file();

}  // namespace vornmark
