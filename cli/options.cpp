#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "cli/image_writer.h"

namespace {

struct IntOption {
    const char* name;
    std::optional<std::int32_t> Options::*field;
    std::int32_t min;
    std::int32_t max;
};

// Depth is capped so that the recursion of a path stays well within a thread's stack.
constexpr IntOption int_options[] = {
    {"--width", &Options::width, 1, 32768},       {"--height", &Options::height, 1, 32768},
    {"--samples", &Options::samples, 1, 1000000}, {"--depth", &Options::depth, 1, 1000},
    {"--tile", &Options::tile, 1, 32768},         {"--threads", &Options::threads, 1, 4096},
};

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

ParsedOptions failure(std::string message) {
    ParsedOptions parsed;
    parsed.error = std::move(message);
    return parsed;
}

}  // namespace

bool Options::custom() const {
    return width || height || samples || depth || tile || threads;
}

ParsedOptions parse_options(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    Options& options = parsed.options;
    bool single = false;
    bool multi = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inline_value;
        if (const std::size_t equals = name.find('=');
            name.rfind("--", 0) == 0 && equals != std::string::npos) {
            inline_value = name.substr(equals + 1);
            name.resize(equals);
        }
        // Fetches the value of an option that takes one, from "=value" or the next argument.
        auto take_value = [&]() -> std::optional<std::string> {
            if (inline_value) return inline_value;
            if (i + 1 < args.size()) return args[++i];
            return std::nullopt;
        };
        auto refuse_value = [&]() { return inline_value.has_value(); };

        if (name == "--help" || name == "-h") {
            if (refuse_value()) return failure(name + " takes no value");
            options.help = true;
        } else if (name == "--single" || name == "--multi") {
            if (refuse_value()) return failure(name + " takes no value");
            (name == "--single" ? single : multi) = true;
        } else if (name == "--info" || name == "--history" || name == "--leaderboard") {
            if (refuse_value()) return failure(name + " takes no value");
            const Command command = name == "--info"      ? Command::Info
                                    : name == "--history" ? Command::History
                                                          : Command::Leaderboard;
            if (options.command != Command::Run && options.command != command)
                return failure("--info, --history and --leaderboard cannot be combined; give one of them");
            options.command = command;
        } else if (name == "--json") {
            if (refuse_value()) return failure("--json takes no value");
            options.json = true;
        } else if (name == "--no-submit") {
            if (refuse_value()) return failure("--no-submit takes no value");
            options.no_submit = true;
        } else if (name == "--runs") {
            const std::optional<std::string> text = take_value();
            const std::optional<std::int32_t> value = text ? parse_int(*text) : std::nullopt;
            if (!value || *value < 1 || *value > 1000)
                return failure("--runs needs a whole number from 1 to 1000");
            options.runs = *value;
        } else if (name == "--minutes") {
            const std::optional<std::string> text = take_value();
            const std::optional<double> value = text ? parse_minutes(*text) : std::nullopt;
            // Also refuses NaN: every comparison with it is false.
            if (!value || !(*value > 0.0 && *value <= 10080.0))
                return failure(
                    "--minutes needs a number of minutes above 0 and at most 10080 (a week), e.g. 0.5");
            options.minutes = *value;
        } else if (name == "--leaderboard-url" || name == "--leaderboard-ca") {
            const std::optional<std::string> text = take_value();
            if (!text || text->empty())
                return failure(name + (name == "--leaderboard-url"
                                           ? " needs a URL such as https://bench.example.org:8443"
                                           : " needs the path of a CA file (PEM)"));
            (name == "--leaderboard-url" ? options.leaderboard.url : options.leaderboard.ca_file) = *text;
        } else if (name == "--image") {
            const std::optional<std::string> path = take_value();
            if (!path || path->empty()) return failure("--image needs a file path ending in .png or .ppm");
            if (image_format_for_path(*path) == ImageFormat::Unknown)
                return failure("--image '" + *path + "': the file name must end in .png or .ppm");
            if (const std::string problem = image_path_problem(*path); !problem.empty())
                return failure("--image '" + *path + "': " + problem);
            options.image_path = *path;
        } else {
            const IntOption* matched = nullptr;
            for (const IntOption& candidate : int_options) {
                if (name == candidate.name) matched = &candidate;
            }
            if (matched == nullptr)
                return failure(
                    "unknown argument '" + args[i] +
                    "'; accepted: --single, --multi, --width, --height, --samples, --depth, --tile, "
                    "--threads, --runs, --minutes, --json, --image, --no-submit, --info, --history, "
                    "--leaderboard, --leaderboard-url, --leaderboard-ca, --help");
            const std::string range = std::to_string(matched->min) + " to " + std::to_string(matched->max);
            const std::optional<std::string> text = take_value();
            if (!text) return failure(std::string(matched->name) + " needs a whole number from " + range);
            const std::optional<std::int32_t> value = parse_int(*text);
            if (!value || *value < matched->min || *value > matched->max)
                return failure(std::string(matched->name) + " '" + *text +
                               "': expected a whole number from " + range);
            options.*(matched->field) = *value;
        }
    }

    if (single && multi)
        return failure("--single and --multi cannot be combined; give one of them, or neither for both runs");
    if (options.command != Command::Run &&
        (single || multi || options.json || options.no_submit || !options.image_path.empty() ||
         options.custom() || options.runs != 1 || options.minutes))
        return failure("--info, --history and --leaderboard take no run options; give them alone");
    if (options.minutes && options.runs != 1)
        return failure("--minutes and --runs cannot be combined; give one of them");
    if (options.minutes && !options.image_path.empty())
        return failure("--minutes writes no image; --image goes with benchmark runs");
    if (options.leaderboard.url || options.leaderboard.ca_file) {
        if (options.command == Command::History)
            return failure("--history does not use the leaderboard; give it without --leaderboard-url");
        const LeaderboardSetting chosen = choose_leaderboard_setting({flag_source(options.leaderboard)});
        if (chosen.refused()) return failure(chosen.error);
    }
    options.selection = single ? RunSelection::Single : multi ? RunSelection::Multi : RunSelection::Both;

    const BenchmarkConfig preset = single_core_preset();
    const std::int64_t bytes =
        std::int64_t{options.width.value_or(preset.width)} * options.height.value_or(preset.height) * 4;
    if (bytes > std::numeric_limits<std::int32_t>::max())
        return failure("--width x --height too large: width x height x 4 must stay below 2147483648");
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
           "\n"
           "  --single            run only the single-core preset (one worker)\n"
           "  --multi             run only the multi-core preset (one worker per hardware thread)\n"
           "  --json              print one JSON object per finished run instead of text\n"
           "  --image PATH        write the finished image; PATH must end in .png or .ppm\n"
           "  --runs N            N runs of each chosen kind, then their median, minimum,\n"
           "                      maximum and spread (1 to 1000)\n"
           "  --minutes M         stability test instead of runs: all workers of the chosen\n"
           "                      configuration (the multi-core preset unless --single or\n"
           "                      --threads) render its tiles round and round for M minutes\n"
           "                      (fractions allowed), every tile checked; exit 3 on any error\n"
           "  --no-submit         keep preset runs in the history only; send nothing to the leaderboard\n"
           "  --info              describe this machine and exit\n"
           "  --history           list the stored runs, newest first, with the best scores\n"
           "  --leaderboard       show the leaderboard's single-core and multi-core standings\n"
           "  --leaderboard-url URL  the leaderboard to use, https://HOST or https://HOST:PORT\n"
           "  --leaderboard-ca FILE  with --leaderboard-url, on Linux: the CA file (PEM) that signs\n"
           "                      its certificate\n"
           "  --help              show this help\n"
           "\n"
           "Every finished preset run is added to the history and, unless --no-submit is\n"
           "given, submitted to the leaderboard. Each run's image is checked against the\n"
           "known-good image: a machine that computed a wrong image gets no score (exit 3).\n"
           "\n"
           "The leaderboard is the first one set by: --leaderboard-url (and --leaderboard-ca);\n"
           "the environment (VORNMARK_LEADERBOARD_URL, VORNMARK_LEADERBOARD_CA);\n" +
           platform_sources_help() +
           ";\nor else the build's default. --info shows which. A malformed setting is refused\n"
           "(exit 2); the server's certificate is always verified.\n"
           "\n"
           "Development settings (a run with any of them is labelled custom and is\n"
           "never saved or submitted):\n"
           "  --width W           image width, 1 to 32768 (default 1920)\n"
           "  --height H          image height, 1 to 32768 (default 1080)\n"
           "  --samples S         samples per pixel, 1 to 1000000 (default 128)\n"
           "  --depth D           maximum ray depth, 1 to 1000 (default 50)\n"
           "  --tile T            tile edge in pixels, 1 to 32768 (default 32)\n"
           "  --threads N         make exactly one run with N workers, 1 to 4096\n"
           "\n"
           "Ctrl-C cancels the run in progress (exit code 130; SIGTERM: 143). Bad arguments exit with 2;\n"
           "a run that cannot take place, a preset run that cannot be saved in the history\n"
           "and a history file that cannot be read exit with 1.\n";
}
