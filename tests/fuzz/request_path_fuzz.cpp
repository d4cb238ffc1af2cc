// The checks on what goes into and comes in as a request line: the client's request path, and the
// server's rules for a request head (first line "METHOD VERSION TARGET-BYTES", then header lines).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/request_path.h"
#include "server/request_head.h"

using namespace vornmark;
using namespace vornmark::server;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (is_valid_request_path(text) &&
        (text.front() != '/' || text.find_first_of(" #\r\n") != std::string::npos)) {
        std::abort();
    }

    RequestHead head;
    std::string_view rest = text;
    auto next_line = [&rest] {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        return line;
    };
    const std::string_view first = next_line();
    head.method = first.substr(0, first.find(' '));
    const std::string_view after_method = first.substr(std::min(first.size(), head.method.size() + 1));
    head.version = after_method.substr(0, after_method.find(' '));
    head.target_bytes = after_method.size();
    while (!rest.empty()) {
        const std::string_view line = next_line();
        const std::size_t colon = line.find(':');
        head.headers.emplace_back(line.substr(0, colon),
                                  colon == std::string_view::npos ? "" : line.substr(colon + 1));
    }
    if (const auto refusal = check_request_head(head, 16 * 1024, 4096)) {
        if (refusal->status < 400 || refusal->status > 599) std::abort();
    }
    return 0;
}
