#include "server/log.h"

#include <ctime>
#include <mutex>

#include <unistd.h>

namespace vornmark::server {

namespace {
std::mutex log_mutex;
}

void log_line(std::string_view text) {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::size_t stamp_length = std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ ", &utc);

    std::string line(stamp, stamp_length);
    line.append(text);
    line.push_back('\n');

    std::lock_guard lock(log_mutex);
    std::size_t written = 0;
    while (written < line.size()) {
        ssize_t n = ::write(STDERR_FILENO, line.data() + written, line.size() - written);
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
}

std::string printable_for_log(std::string_view text, std::size_t limit) {
    std::string out;
    for (char c : text.substr(0, limit)) {
        auto byte = static_cast<unsigned char>(c);
        out.push_back(byte < 0x20 || byte == 0x7F ? '?' : c);
    }
    if (text.size() > limit) out += "...";
    return out;
}

std::string one_line(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') {
            out.push_back(text[i]);
            continue;
        }
        while (i + 1 < text.size() &&
               (text[i + 1] == '\n' || text[i + 1] == '\r' || text[i + 1] == ' ' || text[i + 1] == '\t')) {
            ++i;
        }
        if (i + 1 < text.size()) out += "; ";
    }
    return out;
}

}  // namespace vornmark::server
