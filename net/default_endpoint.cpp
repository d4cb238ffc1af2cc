#include <stdexcept>

#include "net/http.h"
#include "net/leaderboard_setting.h"
#include "net/leaderboard_url.h"

// Set by the build from the cache variables of the same names.
#ifndef VORNMARK_DEFAULT_LEADERBOARD_URL
#error "VORNMARK_DEFAULT_LEADERBOARD_URL must be defined by the build"
#endif
#ifndef VORNMARK_DEFAULT_LEADERBOARD_CA
#error "VORNMARK_DEFAULT_LEADERBOARD_CA must be defined by the build"
#endif

namespace vornmark {

SettingSource build_default_source() {
    SettingSource source;
    if (*VORNMARK_DEFAULT_LEADERBOARD_URL == '\0') return source;
    source.url =
        SettingValue{VORNMARK_DEFAULT_LEADERBOARD_URL, "the build's VORNMARK_DEFAULT_LEADERBOARD_URL"};
    if (*VORNMARK_DEFAULT_LEADERBOARD_CA != '\0')
        source.ca_file =
            SettingValue{VORNMARK_DEFAULT_LEADERBOARD_CA, "the build's VORNMARK_DEFAULT_LEADERBOARD_CA"};
    return source;
}

HttpEndpoint default_endpoint() {
    HttpEndpoint endpoint = parse_leaderboard_url(VORNMARK_DEFAULT_LEADERBOARD_URL).endpoint;
    endpoint.ca_file = VORNMARK_DEFAULT_LEADERBOARD_CA;
    return endpoint;
}

namespace {

const HttpEndpoint& default_endpoint_in_use() {
    static const HttpEndpoint endpoint = default_endpoint();
    if (endpoint.host.empty()) throw std::runtime_error(no_leaderboard_text);
    return endpoint;
}

}  // namespace

std::string http_get(const std::string& path) {
    return http_get(default_endpoint_in_use(), path);
}

std::string http_post_json(const std::string& path, const std::string& body) {
    return http_post_json(default_endpoint_in_use(), path, body);
}

}  // namespace vornmark
