#include "net/leaderboard_setting.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "net/config_file.h"
#include "net/leaderboard_url.h"
#include "net/quoted.h"

namespace vornmark {

namespace {

constexpr const char* url_variable = "VORNMARK_LEADERBOARD_URL";
constexpr const char* ca_variable = "VORNMARK_LEADERBOARD_CA";
constexpr const char* started_by_variable = "VORNMARK_LEADERBOARD_STARTED_BY";
constexpr const char* url_key = "leaderboard_url";
constexpr const char* ca_key = "leaderboard_ca";

LeaderboardSetting refusal(const SettingSource& source, std::string error) {
    LeaderboardSetting setting;
    setting.source = source.where;
    setting.error = std::move(error);
    return setting;
}

std::optional<SettingValue> environment_value(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return SettingValue{value, name};
}

// A CA file must be there and readable when the program starts, not fail every request later.
std::string ca_file_problem(const SettingValue& ca) {
    if (!platform_takes_ca_file())
        return ca.label + " is not used on Windows: add the CA to Windows' trusted root certificates instead";
    std::error_code error;
    if (!std::filesystem::is_regular_file(ca.text, error))
        return ca.label + " " + quoted_for_message(ca.text) + ": no such file";
    return {};
}

LeaderboardSetting setting_from(const SettingSource& source) {
    const ParsedLeaderboardUrl parsed = parse_leaderboard_url(source.url->text);
    if (!parsed.problem.empty())
        return refusal(source, source.url->label + " " + quoted_for_message(source.url->text) +
                                   " is not a leaderboard URL: " + parsed.problem);
    LeaderboardSetting setting;
    setting.source = source.where;
    setting.label = source.label;
    setting.endpoint = parsed.endpoint;
    if (source.ca_file) {
        if (std::string problem = ca_file_problem(*source.ca_file); !problem.empty())
            return refusal(source, std::move(problem));
        setting.endpoint.ca_file = source.ca_file->text;
    }
    return setting;
}

// A relative CA file given on the command line or in the environment names a file from the
// working directory; kept absolute so that the description shows which file it is.
std::optional<SettingValue> absolute(std::optional<SettingValue> value) {
    if (!value) return value;
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(value->text, error);
    if (!error) value->text = path.string();
    return value;
}

}  // namespace

std::string LeaderboardSetting::description() const {
    if (refused()) return error;
    if (none()) return no_leaderboard_text;
    if (!label.empty()) return label + ", " + leaderboard_url_of(endpoint);
    std::string text = leaderboard_url_of(endpoint);
    text += source.empty() ? " (built-in default" : " (" + source;
    if (!endpoint.ca_file.empty()) text += "; CA file " + endpoint.ca_file;
    return text + ")";
}

std::string how_to_set_a_leaderboard() {
    return "To use one, " + platform_setting_example() +
           " (the README's \"Pointing the program at your server\" says more).";
}

std::string no_leaderboard_line() {
    return std::string(no_leaderboard_text) + ". " + how_to_set_a_leaderboard();
}

LeaderboardSetting choose_leaderboard_setting(const std::vector<SettingSource>& sources) {
    for (const SettingSource& source : sources) {
        if (!source.error.empty()) return refusal(source, source.error);
        if (source.url) return setting_from(source);
        if (source.ca_file)
            return refusal(source, source.ca_file->label +
                                       " is set without a leaderboard URL beside it; give the URL it "
                                       "belongs to in the same place");
    }
    const SettingSource build_default = build_default_source();
    if (!build_default.url) return {};
    return setting_from(build_default);
}

LeaderboardSetting leaderboard_setting(const LeaderboardFlags& flags) {
    std::vector<SettingSource> sources{flag_source(flags), environment_source()};
    for (SettingSource& source : platform_sources()) sources.push_back(std::move(source));
    return choose_leaderboard_setting(sources);
}

SettingSource flag_source(const LeaderboardFlags& flags) {
    SettingSource source{"--leaderboard-url", "set by --leaderboard-url", "", std::nullopt, std::nullopt, ""};
    if (flags.url) source.url = SettingValue{*flags.url, "--leaderboard-url"};
    if (flags.ca_file) source.ca_file = absolute(SettingValue{*flags.ca_file, "--leaderboard-ca"});
    return source;
}

SettingSource environment_source() {
    SettingSource source{url_variable,
                         std::string("set by the environment variable ") + url_variable,
                         "",
                         environment_value(url_variable),
                         absolute(environment_value(ca_variable)),
                         ""};
    // Only the one script of this project that starts a leaderboard of its own names itself here.
    if (const std::optional<SettingValue> by = environment_value(started_by_variable);
        by && by->text == "run.sh")
        source.label = "local leaderboard (started by run.sh)";
    return source;
}

SettingSource config_file_source(const std::string& path) {
    SettingSource source{path, "set in " + path, "", std::nullopt, std::nullopt, ""};
    const ConfigFile file = read_config_file(path, {url_key, ca_key});
    if (!file.error.empty()) {
        source.error = file.error;
        return source;
    }
    for (const ConfigEntry& entry : file.entries) {
        // An empty value sets nothing, like an unset environment variable.
        if (entry.value.empty()) continue;
        SettingValue value{entry.value, path + " line " + std::to_string(entry.line) + ": " + entry.key};
        if (entry.key == url_key) {
            source.url = std::move(value);
        } else {
            if (!std::filesystem::path(entry.value).is_absolute()) {
                source.error =
                    value.label + " " + quoted_for_message(entry.value) + " must be an absolute path";
                return source;
            }
            source.ca_file = std::move(value);
        }
    }
    return source;
}

}  // namespace vornmark
