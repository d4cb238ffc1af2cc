#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "server/standings_cache.h"

class Store;

// Largest request body the server reads; bigger ones get status 413.
inline constexpr std::size_t max_body_bytes = 4096;

// One request as the HTTP layer hands it over, fully read.
struct ApiRequest {
    std::string_view method;
    std::string_view path;
    std::optional<std::string> type;  // the query parameter "type"
    std::string_view body;
    std::string remote_address;
};

struct ApiReply {
    int status = 200;
    std::string body;         // always JSON
    std::string allow;        // the Allow header of a 405, else empty
    std::string retry_after;  // the Retry-After header of a 429, else empty
};

// The leaderboard on "/api.php": GET the standings of a run type, POST a submission;
// JSON error bodies for every other outcome. Free of any HTTP library. Safe to call
// from several threads; the store must outlive it.
class Api {
public:
    explicit Api(Store& store) : store_(store), standings_(store) {}

    ApiReply handle(const ApiRequest& request);

private:
    ApiReply get_standings(const ApiRequest& request);
    ApiReply post_submission(const ApiRequest& request);

    Store& store_;
    StandingsCache standings_;
};

// {"error":"..."} with the status.
ApiReply error_reply(int status, const std::string& message);
// The message of a refusal by status ("bad request", "request body larger than 4096 bytes" ...).
const char* reason_for(int status);
