#include "net/request_path.h"

namespace vornmark {

bool is_valid_request_path(const std::string& path) {
    if (path.empty() || path.front() != '/') return false;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        // Control characters, spaces and '#' would change the request line or the URL's meaning.
        if (byte <= 0x20 || byte == 0x7f || c == '#') return false;
    }
    return true;
}

}  // namespace vornmark
