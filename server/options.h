#pragma once

#include <string>
#include <vector>

namespace vornmark::server {

// Command-line settings of vornmark-leaderboard.
struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8443;  // 0: any free port (the listening line names the one taken)
    std::string cert_file;
    std::string key_file;
    std::string db_path = "leaderboard.db";
    bool plain_http = false;
    int rate_limit = 30;               // submissions per minute and client address
    int standing_limit = 120;          // where-you-stand requests per minute and address unit
    int max_connections = 1000;        // open at once in total
    int connections_per_address = 64;  // open at once from one client address
    int request_seconds = 10;          // to send a request's head, and then its body
    bool trust_forwarded_for = false;  // client address from X-Forwarded-For (behind a proxy)
    bool show_help = false;
    // The board's rules (BoardRules): counted runs per address unit, row and day; new names per
    // address unit and day; address units a row needs to be listed; the highest score per thread;
    // the outlier rule; a private board without the limits per address.
    int runs_per_address = 5;
    int new_names_per_day = 5;
    int min_addresses = 1;
    int max_score_per_thread = 2000;
    int outlier_factor = 3;
    int outlier_min_runs = 10;
    bool private_board = false;
    // The secret that makes the stored address units; made there when missing.
    std::string address_key = "leaderboard.key";
    // An operator's command instead of serving: "flagged", "hide", "unhide", "forget-address",
    // with its argument (a processor name or an address).
    std::string command;
    std::string command_argument;
    // Set: copy every run of this SQLite file into the --db store (which must hold no
    // runs yet) and exit, instead of serving.
    std::string import_sqlite;
};

struct ParsedOptions {
    ServerOptions options;
    std::string error;  // one line naming the bad flag; empty when the flags are good
};

// `args` are the arguments after the program name. Accepts "--flag value" and "--flag=value".
ParsedOptions parse_options(const std::vector<std::string>& args);

std::string usage_text();

}  // namespace vornmark::server
