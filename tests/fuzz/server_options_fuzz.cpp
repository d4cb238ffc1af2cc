// The server's flags, one argument per line: an error is one line, and accepted numbers are in range.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "server/options.h"
#include "tests/fuzz/arguments_from_lines.h"

using namespace vornmark;
using namespace vornmark::server;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ParsedOptions parsed = parse_options(arguments_from_lines(data, size));
    if (parsed.error.find('\n') != std::string::npos) std::abort();
    if (parsed.error.empty()) {
        const ServerOptions& o = parsed.options;
        if (o.port < 0 || o.port > 65535 || o.rate_limit < 1 || o.max_connections < 1 ||
            o.connections_per_address < 1 || o.request_seconds < 1) {
            std::abort();
        }
    }
    return 0;
}
