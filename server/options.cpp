#include "server/options.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "server/store.h"

namespace vornmark::server {

namespace {

std::optional<int> parse_int(const std::string& text, int lowest, int highest) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < lowest || value > highest) {
        return std::nullopt;
    }
    return value;
}

// "HOST:PORT", with an IPv6 host in brackets: "[::1]:8443".
bool parse_listen(const std::string& text, std::string& host, int& port) {
    std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    std::string host_part = text.substr(0, colon);
    if (host_part.size() >= 2 && host_part.front() == '[' && host_part.back() == ']') {
        host_part = host_part.substr(1, host_part.size() - 2);
    } else if (host_part.find(':') != std::string::npos) {
        return false;
    }
    auto port_value = parse_int(text.substr(colon + 1), 0, 65535);
    if (host_part.empty() || !port_value) return false;
    host = host_part;
    port = *port_value;
    return true;
}

// What a flag does with its value; the error is one line, empty when the value is taken.
using Apply = std::string (*)(ServerOptions&, const std::string& flag, const std::string& value);

// The flags the rules between flags ask after (combination_error); the rest are Other.
enum class FlagId { Other, Cert, Key };

struct Flag {
    std::string_view name = {};
    std::string_view value = {};  // the value's name in the usage text; empty for a switch
    std::string_view help = {};   // may run over several lines
    // Whole-number flags: where the number goes and the values accepted.
    int ServerOptions::*number = nullptr;
    int lowest = 0;
    int highest = 0;
    Apply apply = nullptr;              // every other flag that takes a value
    bool ServerOptions::*on = nullptr;  // switches
    FlagId id = FlagId::Other;
};

constexpr Flag flags[] = {
    {.name = "--listen",
     .value = "HOST:PORT",
     .help = "address to listen on (default 127.0.0.1:8443; port 0 takes any free port)",
     .apply = [](ServerOptions& o, const std::string& flag, const std::string& value) -> std::string {
         if (parse_listen(value, o.host, o.port)) return {};
         return flag + " wants HOST:PORT with a port from 0 to 65535, got \"" + value + "\"";
     }},
    {.name = "--cert",
     .value = "FILE",
     .help = "PEM certificate chain for HTTPS",
     .apply =
         [](ServerOptions& o, const std::string&, const std::string& value) {
             o.cert_file = value;
             return std::string();
         },
     .id = FlagId::Cert},
    {.name = "--key",
     .value = "FILE",
     .help = "PEM private key for HTTPS",
     .apply =
         [](ServerOptions& o, const std::string&, const std::string& value) {
             o.key_file = value;
             return std::string();
         },
     .id = FlagId::Key},
    {.name = "--db",
     .value = "FILE|URI",
     .help = "SQLite database file (default leaderboard.db in the working directory),\n"
             "or a PostgreSQL connection URI postgresql://USER@HOST:PORT/DATABASE",
     .apply = [](ServerOptions& o, const std::string& flag, const std::string& value) -> std::string {
         if (value.empty()) return flag + " needs a file name or a postgresql:// URI";
         o.db_path = value;
         return {};
     }},
    {.name = "--http",
     .help = "plain HTTP, for use behind a TLS-terminating proxy",
     .on = &ServerOptions::plain_http},
    {.name = "--rate-limit",
     .value = "N",
     .help = "submissions per minute from one address",
     .number = &ServerOptions::rate_limit,
     .lowest = 1,
     .highest = 1000000},
    {.name = "--standing-limit",
     .value = "N",
     .help =
         "where-you-stand requests (GET with cpu=) per minute from one\naddress (an IPv6 /64 counts as one)",
     .number = &ServerOptions::standing_limit,
     .lowest = 1,
     .highest = 1000000},
    {.name = "--trust-forwarded-for",
     .help = "take the client address from the X-Forwarded-For header the\n"
             "proxy in front adds (only when the proxy is the sole way in)",
     .on = &ServerOptions::trust_forwarded_for},
    {.name = "--max-connections",
     .value = "N",
     .help = "connections open at once in total",
     .number = &ServerOptions::max_connections,
     .lowest = 1,
     .highest = 100000},
    {.name = "--connections-per-address",
     .value = "N",
     .help = "connections open at once from one address\n"
             "(raise it behind a proxy, where every client has its address)",
     .number = &ServerOptions::connections_per_address,
     .lowest = 1,
     .highest = 100000},
    {.name = "--request-timeout",
     .value = "S",
     .help = "seconds a client has to send a request's head, and then its body",
     .number = &ServerOptions::request_seconds,
     .lowest = 1,
     .highest = 600},
    {.name = "--runs-per-address",
     .value = "N",
     .help = "runs a day from one address (IPv4 /32, IPv6 /64) that count\n"
             "toward one processor's row; more are stored, not counted",
     .number = &ServerOptions::runs_per_address,
     .lowest = 1,
     .highest = 1000000},
    {.name = "--new-names-per-day",
     .value = "N",
     .help = "new processor names a day from one address",
     .number = &ServerOptions::new_names_per_day,
     .lowest = 1,
     .highest = 1000000},
    {.name = "--min-addresses",
     .value = "N",
     .help = "addresses whose runs a row needs before it is listed",
     .number = &ServerOptions::min_addresses,
     .lowest = 1,
     .highest = 1000000},
    {.name = "--max-score-per-thread",
     .value = "N",
     .help = "highest score per thread accepted",
     .number = &ServerOptions::max_score_per_thread,
     .lowest = 1,
     .highest = 10000000},
    {.name = "--outlier-factor",
     .value = "N",
     .help = "runs whose score per thread is more than N times away from\n"
             "their row's median count in neither its average nor its spread",
     .number = &ServerOptions::outlier_factor,
     .lowest = 2,
     .highest = 1000},
    {.name = "--outlier-min-runs",
     .value = "N",
     .help = "runs a row needs before the outlier rule applies",
     .number = &ServerOptions::outlier_min_runs,
     .lowest = 1,
     .highest = 1000000},
    {.name = "--private",
     .help = "a private board (a lab behind one address): no limits per\n"
             "address on counted runs, new names and addresses per row",
     .on = &ServerOptions::private_board},
    {.name = "--address-key",
     .value = "FILE",
     .help = "secret key that makes the stored address units (default\n"
             "leaderboard.key in the working directory; made when missing)",
     .apply = [](ServerOptions& o, const std::string& flag, const std::string& value) -> std::string {
         if (value.empty()) return flag + " needs a file name";
         o.address_key = value;
         return {};
     }},
    {.name = "--import-sqlite",
     .value = "FILE",
     .help = "copy every run of the SQLite file FILE into the PostgreSQL database\n"
             "of --db (which must hold no runs yet), then exit",
     .apply = [](ServerOptions& o, const std::string& flag, const std::string& value) -> std::string {
         if (value.empty()) return flag + " needs a value";
         o.import_sqlite = value;
         return {};
     }},
    {.name = "--help", .help = "this text", .on = &ServerOptions::show_help},
};

const Flag* find_flag(std::string_view name) {
    if (name == "-h") name = "--help";
    for (const Flag& flag : flags) {
        if (flag.name == name) return &flag;
    }
    return nullptr;
}

std::string apply_value(const Flag& flag, ServerOptions& options, const std::string& value) {
    const std::string name(flag.name);
    if (flag.number) {
        auto number = parse_int(value, flag.lowest, flag.highest);
        if (!number) {
            return name + " wants a whole number from " + std::to_string(flag.lowest) + " to " +
                   std::to_string(flag.highest) + ", got \"" + value + "\"";
        }
        options.*flag.number = *number;
        return {};
    }
    return flag.apply(options, name, value);
}

// Rules between flags, once every flag is read.
std::string combination_error(const ServerOptions& options, bool cert_given, bool key_given) {
    if (options.show_help) return {};
    if (!options.command.empty()) return {};
    if (!options.import_sqlite.empty()) {
        // Nothing is served, so no certificate is needed.
        if (!is_postgresql_location(options.db_path))
            return "--import-sqlite needs --db postgresql://... to copy into";
        return {};
    }
    if (options.plain_http && (cert_given || key_given)) return "--cert and --key do not go with --http";
    if (!options.plain_http && (options.cert_file.empty() || options.key_file.empty())) {
        return "HTTPS needs --cert FILE and --key FILE (or --http for plain HTTP)";
    }
    return {};
}

}  // namespace

ParsedOptions parse_options(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    bool cert_given = false;
    bool key_given = false;
    std::size_t first = 0;
    // An operator's command comes first: "flagged", "hide NAME", "unhide NAME", "forget-address ADDR".
    if (!args.empty() && args[0].rfind("-", 0) != 0) {
        const std::string& command = args[0];
        const bool takes_argument = command == "hide" || command == "unhide" || command == "forget-address";
        if (command != "flagged" && !takes_argument) {
            parsed.error = "unknown command " + command;
            return parsed;
        }
        // "hide --db FILE" lacks the name: a flag of the server is taken for none.
        if (takes_argument &&
            (args.size() < 2 || args[1].empty() || find_flag(args[1].substr(0, args[1].find('='))))) {
            parsed.error =
                command + (command == "forget-address" ? " needs an address" : " needs a processor name");
            return parsed;
        }
        parsed.options.command = command;
        if (takes_argument) parsed.options.command_argument = args[1];
        first = takes_argument ? 2 : 1;
    }
    for (std::size_t i = first; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inline_value;
        if (std::size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inline_value = name.substr(eq + 1);
            name.resize(eq);
        }
        const Flag* flag = find_flag(name);
        if (!flag) {
            parsed.error = "unknown flag " + name;
            return parsed;
        }
        if (flag->value.empty()) {
            if (inline_value) {
                parsed.error = name + " takes no value";
                return parsed;
            }
            parsed.options.*flag->on = true;
            continue;
        }
        if (!inline_value && i + 1 >= args.size()) {
            parsed.error = name + " needs a value";
            return parsed;
        }
        const std::string value = inline_value ? *inline_value : args[++i];
        parsed.error = apply_value(*flag, parsed.options, value);
        if (!parsed.error.empty()) return parsed;
        cert_given = cert_given || flag->id == FlagId::Cert;
        key_given = key_given || flag->id == FlagId::Key;
    }
    parsed.error = combination_error(parsed.options, cert_given, key_given);
    return parsed;
}

std::string usage_text() {
    constexpr std::size_t help_column = 31;
    std::string text =
        "Usage: vornmark-leaderboard [flags]\n"
        "       vornmark-leaderboard flagged|hide NAME|unhide NAME|forget-address ADDR [flags]\n"
        "Serves the Vornmark leaderboard: GET /api.php?type=single|multi, POST /api.php.\n"
        "The commands work on the --db of a running server: list the runs left out as\n"
        "outliers and the attempts refused; take a processor's rows out of the standings\n"
        "or put them back; uncount every run from an address's /32 (IPv4) or /64 (IPv6).\n"
        "\n";
    for (const Flag& flag : flags) {
        std::string head = "  ";
        head += flag.name;
        if (!flag.value.empty()) {
            head += ' ';
            head += flag.value;
        }
        head.append(head.size() + 1 < help_column ? help_column - head.size() : 1, ' ');
        const std::string_view first_line = flag.help.substr(0, flag.help.find('\n'));
        std::string help(first_line);
        // The accepted values, on the first line.
        if (flag.number) {
            help += " (" + std::to_string(flag.lowest) + " to " + std::to_string(flag.highest) +
                    ", default " + std::to_string(ServerOptions{}.*flag.number) + ")";
        }
        help += flag.help.substr(first_line.size());
        for (std::size_t start = 0; start < help.size();) {
            std::size_t end = help.find('\n', start);
            if (end == std::string::npos) end = help.size();
            text +=
                (start == 0 ? head : std::string(help_column, ' ')) + help.substr(start, end - start) + "\n";
            start = end + 1;
        }
    }
    return text;
}

}  // namespace vornmark::server
