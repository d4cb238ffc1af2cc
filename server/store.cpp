#include "server/store.h"

namespace vornmark::server {

bool is_postgresql_location(const std::string& location) {
    return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

std::string redacted_location(const std::string& location) {
    std::size_t scheme = location.find("://");
    if (scheme == std::string::npos) return location;
    std::size_t start = scheme + 3;
    std::size_t at = location.find('@', start);
    std::size_t slash = location.find('/', start);
    if (at == std::string::npos || (slash != std::string::npos && slash < at)) return location;
    std::size_t colon = location.find(':', start);
    if (colon == std::string::npos || colon > at) return location;
    return location.substr(0, colon) + ":***" + location.substr(at);
}

}  // namespace vornmark::server
