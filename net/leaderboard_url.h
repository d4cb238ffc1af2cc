#pragma once

#include <string>
#include <string_view>

#include "net/http.h"

namespace vornmark {

// The leaderboard as a user names it: "https://HOST" or "https://HOST:PORT", a trailing "/"
// allowed. HOST is a DNS name in ASCII, an IPv4 address or a bracketed IPv6 address.
struct ParsedLeaderboardUrl {
    HttpEndpoint endpoint;  // host (lower case) and port; no CA file
    std::string problem;    // empty when the text is a leaderboard URL; otherwise why not, one line
};

ParsedLeaderboardUrl parse_leaderboard_url(std::string_view text);

// The URL an endpoint stands for, the port left out when it is 443: "https://bench.example.org:8443".
std::string leaderboard_url_of(const HttpEndpoint& endpoint);

}  // namespace vornmark
