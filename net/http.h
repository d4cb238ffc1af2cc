#pragma once

#include <chrono>
#include <stop_token>
#include <string>

namespace vornmark {

// Where the leaderboard server lives. The program's own endpoint is fixed at build time
// (default_endpoint); tests point the transport at a server on loopback.
struct HttpEndpoint {
    std::string host;
    int port = 443;
    std::string ca_file;  // empty: the system trust store
};

// The build's default leaderboard; an empty host when the build has none.
HttpEndpoint default_endpoint();

// One blocking HTTPS exchange each, with nothing kept between calls (http_linux.cpp: libcurl,
// http_windows.cpp: WinINet). They return the response body for status 200 and raise
// std::runtime_error otherwise. Its message starts with one of "InternetOpen failed",
// "InternetConnect failed", "HttpOpenRequest failed", "HttpSendRequest failed" or "HTTP "
// followed by the status, then says why and where (net/exchange_failure.h).
// Against default_endpoint(); without one they raise std::runtime_error("No leaderboard set").
std::string http_get(const std::string& path);
std::string http_post_json(const std::string& path, const std::string& body);
// An exchange takes at most exchange_time_limit in all, however slowly the server sends, and a
// stop requested on `stop` ends it at once; both fail it with "HttpSendRequest failed".
std::string http_get(const HttpEndpoint& endpoint, const std::string& path, std::stop_token stop = {});
std::string http_post_json(const HttpEndpoint& endpoint, const std::string& path, const std::string& body,
                           std::stop_token stop = {});

// Longest one exchange may take, connecting, sending and reading together.
inline constexpr std::chrono::seconds exchange_time_limit{15};

// Largest response body accepted; a longer one fails the exchange ("HttpSendRequest failed: answer too large").
inline constexpr std::size_t max_response_body_bytes = 1024 * 1024;

}  // namespace vornmark
