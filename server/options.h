#pragma once

#include <string>
#include <vector>

// Command-line settings of vornmark-leaderboard.
struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8443;  // 0: any free port (the listening line names the one taken)
    std::string cert_file;
    std::string key_file;
    std::string db_path = "leaderboard.db";
    bool plain_http = false;
    int rate_limit = 30;               // submissions per minute and client address
    int max_connections = 1000;        // open at once in total
    int connections_per_address = 64;  // open at once from one client address
    int request_seconds = 10;          // to send a request's head, and then its body
    bool trust_forwarded_for = false;  // client address from X-Forwarded-For (behind a proxy)
    bool show_help = false;
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
