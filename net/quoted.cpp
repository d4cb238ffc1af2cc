#include "net/quoted.h"

#include <cstdio>

namespace vornmark {

std::string quoted_for_message(std::string_view text) {
    std::string result = "'";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f || c == '\'' || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            result += escaped;
        } else {
            result += c;
        }
    }
    return result + "'";
}

}  // namespace vornmark
