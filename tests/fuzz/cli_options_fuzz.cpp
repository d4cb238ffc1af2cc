// The runner's flags, one argument per line: an error is one line; accepted flags plan runs.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            args.emplace_back();
        } else {
            args.back().push_back(static_cast<char>(data[i]));
        }
    }
    const ParsedOptions parsed = parse_options(args);
    if (parsed.error.find('\n') != std::string::npos) std::abort();
    if (parsed.error.empty() && parsed.options.command == Command::Run) plan_runs(parsed.options, 4);
    return 0;
}
