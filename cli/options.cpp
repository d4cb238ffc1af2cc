#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string_view>

#include "base/preset.h"
#include "cli/image_writer.h"

namespace vornmark::cli {

namespace {

std::optional<std::int32_t> parse_int(const std::string& text) {
    std::int32_t value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || error != std::errc() || end != last) return std::nullopt;
    return value;
}

std::optional<double> parse_minutes(const std::string& text) {
    double value = 0.0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || error != std::errc() || end != last) return std::nullopt;
    return value;
}

// What the options read so far; the combinations are checked once all are read.
struct ParseState {
    Options& options;
    bool single = false;
    bool multi = false;
};

enum class Section { Main, Development };

// Which option a row is; what it does is chosen by this, never by the name it is written as.
enum class OptionId {
    Single,
    Multi,
    Json,
    Image,
    Runs,
    Minutes,
    WaitQuiet,
    Scaling,
    NoSubmit,
    Info,
    History,
    Leaderboard,
    LeaderboardUrl,
    LeaderboardCa,
    Help,
    Width,
    Height,
    Samples,
    Depth,
    Tile,
    Threads,
};

// One option of the runner: how it is written, what the usage text says of it, and what it does.
struct OptionRow {
    const char* name;
    const char* alias;  // another spelling ("-h"), or null
    const char* value;  // the value's name in the usage text; null for an option without one
    Section section;
    const char* help;  // usage text; "{range}" and "{default}" are filled in, '\n' continues
    OptionId id;
    std::int32_t min = 0;  // whole-number options: the accepted range
    std::int32_t max = 0;
    std::optional<std::int32_t> Options::*setting = nullptr;  // development settings
    std::int32_t preset = 0;                                  // development settings: the preset's value
    bool value_only_inline = false;  // the value is optional and comes only as "=value"
};

std::string range_text(const OptionRow& row) {
    return std::to_string(row.min) + " to " + std::to_string(row.max);
}

std::string apply_command(Command command, ParseState& state) {
    if (state.options.command != Command::Run && state.options.command != command)
        return "--info, --history, --leaderboard and --scaling cannot be combined; give one of them";
    state.options.command = command;
    return {};
}

std::string apply_runs(const OptionRow& row, const std::optional<std::string>& text, ParseState& state) {
    const std::optional<std::int32_t> value = text ? parse_int(*text) : std::nullopt;
    if (!value || *value < row.min || *value > row.max)
        return std::string(row.name) + " needs a whole number from " + range_text(row);
    state.options.runs = *value;
    return {};
}

std::string apply_minutes(const OptionRow&, const std::optional<std::string>& text, ParseState& state) {
    const std::optional<double> value = text ? parse_minutes(*text) : std::nullopt;
    // Also refuses NaN: every comparison with it is false.
    if (!value || !(*value > 0.0 && *value <= 10080.0))
        return "--minutes needs a number of minutes above 0 and at most 10080 (a week), e.g. 0.5";
    state.options.minutes = *value;
    return {};
}

std::string apply_wait_quiet(const OptionRow&, const std::optional<std::string>& text, ParseState& state) {
    const std::optional<double> value = text ? parse_minutes(*text) : std::optional<double>(60.0);
    if (!value || !(*value >= 0.0 && *value <= 86400.0))
        return "--wait-quiet=S needs a number of seconds from 0 to 86400 (a day), e.g. --wait-quiet=120";
    state.options.wait_quiet = *value;
    return {};
}

std::string apply_leaderboard_url(const OptionRow& row, const std::optional<std::string>& text,
                                  ParseState& state) {
    if (!text || text->empty())
        return std::string(row.name) + " needs a URL such as https://bench.example.org:8443";
    state.options.leaderboard.url = *text;
    return {};
}

std::string apply_leaderboard_ca(const OptionRow& row, const std::optional<std::string>& text,
                                 ParseState& state) {
    if (!text || text->empty()) return std::string(row.name) + " needs the path of a CA file (PEM)";
    state.options.leaderboard.ca_file = *text;
    return {};
}

std::string apply_image(const OptionRow&, const std::optional<std::string>& path, ParseState& state) {
    if (!path || path->empty()) return "--image needs a file path ending in .png or .ppm";
    if (image_format_for_path(*path) == ImageFormat::Unknown)
        return "--image '" + *path + "': the file name must end in .png or .ppm";
    if (const std::string problem = image_path_problem(*path); !problem.empty())
        return "--image '" + *path + "': " + problem;
    state.options.image_path = *path;
    return {};
}

std::string apply_setting(const OptionRow& row, const std::optional<std::string>& text, ParseState& state) {
    const std::string range = range_text(row);
    if (!text) return std::string(row.name) + " needs a whole number from " + range;
    const std::optional<std::int32_t> value = parse_int(*text);
    if (!value || *value < row.min || *value > row.max)
        return std::string(row.name) + " '" + *text + "': expected a whole number from " + range;
    state.options.*(row.setting) = *value;
    return {};
}

// Every option, in the order the usage text lists them; the same table reads the command line and
// names the accepted options when one is not understood. Depth is capped so that the recursion of
// a path stays well within a thread's stack.
const OptionRow option_table[] = {
    {"--single", nullptr, nullptr, Section::Main, "run only the single-core preset (one worker)",
     OptionId::Single},
    {"--multi", nullptr, nullptr, Section::Main,
     "run only the multi-core preset (one worker per hardware thread)", OptionId::Multi},
    {"--json", nullptr, nullptr, Section::Main, "print one JSON object per finished run instead of text",
     OptionId::Json},
    {"--image", nullptr, "PATH", Section::Main, "write the finished image; PATH must end in .png or .ppm",
     OptionId::Image},
    {"--runs", nullptr, "N", Section::Main,
     "N runs of each chosen kind, then their median, minimum,\nmaximum and spread ({range})", OptionId::Runs,
     1, 1000},
    {"--minutes", nullptr, "M", Section::Main,
     "stability test instead of runs: all workers of the chosen\nconfiguration (the multi-core preset unless "
     "--single or\n--threads) render its tiles round and round for M minutes\n(fractions allowed), every "
     "tile "
     "checked; exit 3 on any error",
     OptionId::Minutes},
    {"--wait-quiet", nullptr, "[=S]", Section::Main,
     "before the runs, wait up to S seconds (default 60) until other\nprograms use under 2 % of the "
     "processor "
     "over 2 s",
     OptionId::WaitQuiet, 0, 0, nullptr, 0, true},
    {"--scaling", nullptr, nullptr, Section::Main,
     "thread scaling instead of runs: the preset's image at 2 samples\nper pixel instead of 128 (the same "
     "shortened work on every\nmachine, so tables compare; a 64th of a preset run), on 1, 2,\n4, ... and all "
     "hardware threads: time, speed-up, efficiency\nand the idle tail of each; nothing stored or submitted",
     OptionId::Scaling},
    {"--no-submit", nullptr, nullptr, Section::Main,
     "keep preset runs in the history only; send nothing to the leaderboard", OptionId::NoSubmit},
    {"--info", nullptr, nullptr, Section::Main, "describe this machine and exit", OptionId::Info},
    {"--history", nullptr, nullptr, Section::Main, "list the stored runs, newest first, with the best scores",
     OptionId::History},
    {"--leaderboard", nullptr, nullptr, Section::Main,
     "show the leaderboard's single-core and multi-core standings", OptionId::Leaderboard},
    {"--leaderboard-url", nullptr, "URL", Section::Main,
     "the leaderboard to use, https://HOST or https://HOST:PORT", OptionId::LeaderboardUrl},
    {"--leaderboard-ca", nullptr, "FILE", Section::Main,
     "with --leaderboard-url, on Linux: the CA file (PEM) that signs\nits certificate",
     OptionId::LeaderboardCa},
    {"--help", "-h", nullptr, Section::Main, "show this help", OptionId::Help},
    {"--width", nullptr, "W", Section::Development, "image width, {range} (default {default})",
     OptionId::Width, 1, 32768, &Options::width, preset_width},
    {"--height", nullptr, "H", Section::Development, "image height, {range} (default {default})",
     OptionId::Height, 1, 32768, &Options::height, preset_height},
    {"--samples", nullptr, "S", Section::Development, "samples per pixel, {range} (default {default})",
     OptionId::Samples, 1, 1000000, &Options::samples, preset_samples},
    {"--depth", nullptr, "D", Section::Development, "maximum ray depth, {range} (default {default})",
     OptionId::Depth, 1, 1000, &Options::depth, preset_max_depth},
    {"--tile", nullptr, "T", Section::Development, "tile edge in pixels, {range} (default {default})",
     OptionId::Tile, 1, 32768, &Options::tile, preset_tile_size},
    {"--threads", nullptr, "N", Section::Development, "make exactly one run with N workers, {range}",
     OptionId::Threads, 1, 4096, &Options::threads},
};

// Takes an option's value (none for one without a value, or when the command line ends where the
// value should be) into the state; returns why it is refused, or nothing.
std::string apply(const OptionRow& row, const std::optional<std::string>& value, ParseState& state) {
    switch (row.id) {
    case OptionId::Single:
        state.single = true;
        return {};
    case OptionId::Multi:
        state.multi = true;
        return {};
    case OptionId::Json:
        state.options.json = true;
        return {};
    case OptionId::NoSubmit:
        state.options.no_submit = true;
        return {};
    case OptionId::Help:
        state.options.help = true;
        return {};
    case OptionId::Image:
        return apply_image(row, value, state);
    case OptionId::Runs:
        return apply_runs(row, value, state);
    case OptionId::Minutes:
        return apply_minutes(row, value, state);
    case OptionId::WaitQuiet:
        return apply_wait_quiet(row, value, state);
    case OptionId::LeaderboardUrl:
        return apply_leaderboard_url(row, value, state);
    case OptionId::LeaderboardCa:
        return apply_leaderboard_ca(row, value, state);
    case OptionId::Scaling:
        return apply_command(Command::Scaling, state);
    case OptionId::Info:
        return apply_command(Command::Info, state);
    case OptionId::History:
        return apply_command(Command::History, state);
    case OptionId::Leaderboard:
        return apply_command(Command::Leaderboard, state);
    case OptionId::Width:
    case OptionId::Height:
    case OptionId::Samples:
    case OptionId::Depth:
    case OptionId::Tile:
    case OptionId::Threads:
        return apply_setting(row, value, state);
    }
    return {};
}

const OptionRow* find_option(const std::string& name) {
    for (const OptionRow& row : option_table)
        if (name == row.name || (row.alias != nullptr && name == row.alias)) return &row;
    return nullptr;
}

std::string accepted_options() {
    std::string names;
    for (const OptionRow& row : option_table) names += std::string(names.empty() ? "" : ", ") + row.name;
    return names;
}

void replace_all(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// The usage lines of one section: the option and its value in a column of 20, the help beside it.
std::string option_lines(Section section) {
    constexpr std::size_t column = 20;
    std::string lines;
    for (const OptionRow& row : option_table) {
        if (row.section != section) continue;
        std::string help = row.help;
        replace_all(help, "{range}", range_text(row));
        replace_all(help, "{default}", std::to_string(row.preset));
        replace_all(help, "\n", "\n  " + std::string(column, ' '));
        const std::string written =
            std::string(row.name) + (row.value == nullptr    ? ""
                                     : row.value_only_inline ? row.value
                                                             : std::string(" ") + row.value);
        lines += "  " + written +
                 std::string(written.size() + 2 <= column ? column - written.size() : 2, ' ') + help + "\n";
    }
    return lines;
}

ParsedOptions failure(std::string message) {
    ParsedOptions parsed;
    parsed.error = std::move(message);
    return parsed;
}

// Why the options cannot go together; empty when they can.
std::string combination_problem(const ParseState& state) {
    const Options& options = state.options;
    if (state.single && state.multi)
        return "--single and --multi cannot be combined; give one of them, or neither for both runs";
    if (options.command == Command::Scaling &&
        (options.runs != 1 || options.minutes || state.single || state.multi || options.no_submit ||
         !options.image_path.empty() || options.custom() || options.wait_quiet || options.leaderboard.url ||
         options.leaderboard.ca_file))
        return "--scaling runs its own fixed steps and takes only --json; give it without --runs, --minutes "
               "or "
               "other run options";
    if (options.command != Command::Run && options.command != Command::Scaling &&
        (state.single || state.multi || options.json || options.no_submit || !options.image_path.empty() ||
         options.custom() || options.runs != 1 || options.minutes || options.wait_quiet))
        return "--info, --history and --leaderboard take no run options; give them alone";
    if (options.minutes && options.runs != 1)
        return "--minutes and --runs cannot be combined; give one of them";
    if (options.minutes && !options.image_path.empty())
        return "--minutes writes no image; --image goes with benchmark runs";
    if (options.leaderboard.url || options.leaderboard.ca_file) {
        if (options.command == Command::History)
            return "--history does not use the leaderboard; give it without --leaderboard-url";
        const LeaderboardSetting chosen = choose_leaderboard_setting({flag_source(options.leaderboard)});
        if (chosen.refused()) return chosen.error;
    }
    const std::int64_t bytes =
        std::int64_t{options.width.value_or(preset_width)} * options.height.value_or(preset_height) * 4;
    if (bytes > std::numeric_limits<std::int32_t>::max())
        return "--width x --height too large: width x height x 4 must stay below 2147483648";
    return {};
}

}  // namespace

bool Options::custom() const {
    return width || height || samples || depth || tile || threads;
}

ParsedOptions parse_options(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    ParseState state{parsed.options};
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inline_value;
        if (const std::size_t equals = name.find('=');
            name.rfind("--", 0) == 0 && equals != std::string::npos) {
            inline_value = name.substr(equals + 1);
            name.resize(equals);
        }
        const OptionRow* row = find_option(name);
        if (row == nullptr)
            return failure("unknown argument '" + args[i] + "'; accepted: " + accepted_options());
        if (row->value == nullptr && inline_value) return failure(name + " takes no value");
        // A value from "=value" or the next argument.
        std::optional<std::string> value = inline_value;
        if (row->value != nullptr && !row->value_only_inline && !value && i + 1 < args.size())
            value = args[++i];
        if (std::string problem = apply(*row, value, state); !problem.empty())
            return failure(std::move(problem));
    }
    if (std::string problem = combination_problem(state); !problem.empty())
        return failure(std::move(problem));
    parsed.options.selection = state.single  ? RunSelection::Single
                               : state.multi ? RunSelection::Multi
                                             : RunSelection::Both;
    return parsed;
}

std::vector<PlannedRun> plan_runs(const Options& options, std::int32_t hardware_threads) {
    auto with_overrides = [&](std::int32_t threads) {
        BenchmarkConfig config = preset_config(threads);
        config.width = options.width.value_or(config.width);
        config.height = options.height.value_or(config.height);
        config.samples = options.samples.value_or(config.samples);
        config.max_depth = options.depth.value_or(config.max_depth);
        config.tile_size = options.tile.value_or(config.tile_size);
        return PlannedRun{config, options.custom()};
    };

    if (options.threads) return {with_overrides(*options.threads)};
    std::vector<PlannedRun> runs;
    if (options.selection != RunSelection::Multi) runs.push_back(with_overrides(1));
    // The standard library may report 0 hardware threads; the engine then uses one worker.
    if (options.selection != RunSelection::Single)
        runs.push_back(with_overrides(std::max<std::int32_t>(hardware_threads, 1)));
    return runs;
}

std::string usage_text() {
    return "Usage: vornmark-cli [options]\n"
           "\n"
           "Runs the Vornmark CPU benchmark without a window. With no options it runs\n"
           "the single-core preset and then the multi-core preset.\n"
           "\n" +
           option_lines(Section::Main) +
           "\n"
           "Every finished preset run is added to the history and, unless --no-submit is\n"
           "given, submitted to the leaderboard. Each run's image is checked against the\n"
           "known-good image: a machine that computed a wrong image gets no score (exit 3).\n"
           "\n"
           "The leaderboard is the first one set by: --leaderboard-url (and --leaderboard-ca);\n"
           "the environment (VORNMARK_LEADERBOARD_URL, VORNMARK_LEADERBOARD_CA);\n" +
           platform_sources_help() +
           ";\nor else the build's default, when it has one. --info shows which. A malformed setting\n"
           "is refused (exit 2); the server's certificate is always verified. With no leaderboard\n"
           "set, runs are stored but not submitted, and --leaderboard exits with 1.\n"
           "\n"
           "Development settings (a run with any of them is labelled custom and is\n"
           "never saved or submitted):\n" +
           option_lines(Section::Development) +
           "\n"
           "Ctrl-C cancels the run in progress (exit code 130; SIGTERM: 143). Bad arguments exit with 2;\n"
           "a run that cannot take place, a preset run that cannot be saved in the history\n"
           "and a history file that cannot be read exit with 1.\n";
}

}  // namespace vornmark::cli
