#include "net/http.h"

// Set by the build from the cache variables of the same names.
#ifndef VORNMARK_LEADERBOARD_HOST
#error "VORNMARK_LEADERBOARD_HOST must be defined by the build"
#endif
#ifndef VORNMARK_LEADERBOARD_PORT
#error "VORNMARK_LEADERBOARD_PORT must be defined by the build"
#endif
#ifndef VORNMARK_LEADERBOARD_CA_FILE
#error "VORNMARK_LEADERBOARD_CA_FILE must be defined by the build"
#endif

HttpEndpoint default_endpoint() {
    return HttpEndpoint{VORNMARK_LEADERBOARD_HOST, VORNMARK_LEADERBOARD_PORT, VORNMARK_LEADERBOARD_CA_FILE};
}

std::string http_get(const std::string& path) {
    return http_get(default_endpoint(), path);
}

std::string http_post_json(const std::string& path, const std::string& body) {
    return http_post_json(default_endpoint(), path, body);
}
