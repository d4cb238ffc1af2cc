#include "server/options.h"

#include "server/store.h"

#include <charconv>
#include <optional>

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

}  // namespace

ParsedOptions parse_options(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    ServerOptions& options = parsed.options;
    bool cert_given = false;
    bool key_given = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string flag = args[i];
        std::optional<std::string> inline_value;
        if (std::size_t eq = flag.find('='); flag.rfind("--", 0) == 0 && eq != std::string::npos) {
            inline_value = flag.substr(eq + 1);
            flag = flag.substr(0, eq);
        }

        auto take_value = [&](std::string& out) {
            if (inline_value) {
                out = *inline_value;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        auto missing_value = [&] {
            parsed.error = flag + " needs a value";
            return parsed;
        };

        std::string value;
        if (flag == "--help" || flag == "-h") {
            if (inline_value) {
                parsed.error = flag + " takes no value";
                return parsed;
            }
            options.show_help = true;
        } else if (flag == "--http") {
            if (inline_value) {
                parsed.error = flag + " takes no value";
                return parsed;
            }
            options.plain_http = true;
        } else if (flag == "--trust-forwarded-for") {
            if (inline_value) {
                parsed.error = flag + " takes no value";
                return parsed;
            }
            options.trust_forwarded_for = true;
        } else if (flag == "--listen") {
            if (!take_value(value)) return missing_value();
            if (!parse_listen(value, options.host, options.port)) {
                parsed.error = "--listen wants HOST:PORT with a port from 0 to 65535, got \"" + value + "\"";
                return parsed;
            }
        } else if (flag == "--cert") {
            if (!take_value(options.cert_file)) return missing_value();
            cert_given = true;
        } else if (flag == "--key") {
            if (!take_value(options.key_file)) return missing_value();
            key_given = true;
        } else if (flag == "--db") {
            if (!take_value(options.db_path)) return missing_value();
            if (options.db_path.empty()) {
                parsed.error = "--db needs a file name or a postgresql:// URI";
                return parsed;
            }
        } else if (flag == "--rate-limit") {
            if (!take_value(value)) return missing_value();
            auto limit = parse_int(value, 1, 1000000);
            if (!limit) {
                parsed.error = "--rate-limit wants a whole number from 1 to 1000000, got \"" + value + "\"";
                return parsed;
            }
            options.rate_limit = *limit;
        } else if (flag == "--import-sqlite") {
            if (!take_value(options.import_sqlite) || options.import_sqlite.empty()) return missing_value();
        } else if (flag == "--max-connections" || flag == "--connections-per-address") {
            if (!take_value(value)) return missing_value();
            auto limit = parse_int(value, 1, 100000);
            if (!limit) {
                parsed.error = flag + " wants a whole number from 1 to 100000, got \"" + value + "\"";
                return parsed;
            }
            (flag == "--max-connections" ? options.max_connections : options.connections_per_address) =
                *limit;
        } else {
            parsed.error = "unknown flag " + flag;
            return parsed;
        }
    }

    if (options.show_help) return parsed;
    if (!options.import_sqlite.empty()) {
        if (!is_postgresql_location(options.db_path)) {
            parsed.error = "--import-sqlite needs --db postgresql://... to copy into";
        }
        return parsed;  // no certificate needed: nothing is served
    }
    if (options.plain_http && (cert_given || key_given)) {
        parsed.error = "--cert and --key do not go with --http";
    } else if (!options.plain_http && (options.cert_file.empty() || options.key_file.empty())) {
        parsed.error = "HTTPS needs --cert FILE and --key FILE (or --http for plain HTTP)";
    }
    return parsed;
}

std::string usage_text() {
    return "Usage: vornmark-leaderboard [flags]\n"
           "Serves the Vornmark leaderboard: GET /api.php?type=single|multi, POST /api.php.\n"
           "\n"
           "  --listen HOST:PORT  address to listen on (default 127.0.0.1:8443; port 0 takes any free port)\n"
           "  --cert FILE         PEM certificate chain for HTTPS\n"
           "  --key FILE          PEM private key for HTTPS\n"
           "  --db FILE|URI       SQLite database file (default leaderboard.db in the working directory),\n"
           "                      or a PostgreSQL connection URI postgresql://USER@HOST:PORT/DATABASE\n"
           "  --http              plain HTTP, for use behind a TLS-terminating proxy\n"
           "  --rate-limit N      submissions per minute from one address (default 30)\n"
           "  --trust-forwarded-for        take the client address from the X-Forwarded-For header the\n"
           "                               proxy in front adds (only when the proxy is the sole way in)\n"
           "  --max-connections N          connections open at once in total (default 1000)\n"
           "  --connections-per-address N  connections open at once from one address (default 64;\n"
           "                               raise it behind a proxy, where every client has its address)\n"
           "  --import-sqlite FILE copy every run of the SQLite file FILE into the PostgreSQL database\n"
           "                      of --db (which must hold no runs yet), then exit\n"
           "  --help              this text\n";
}
