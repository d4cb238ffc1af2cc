#include "ui/open_in_browser.h"

namespace vornmark {

bool is_openable_url(const std::string& url) {
    constexpr std::string_view scheme = "https://";
    if (url.size() <= scheme.size() || url.compare(0, scheme.size(), scheme) != 0) return false;
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '"' || c == '\\') return false;
    }
    return true;
}

}  // namespace vornmark
