// The runner's flags, one argument per line: an error is one line; accepted flags plan runs.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/options.h"
#include "tests/fuzz/arguments_from_lines.h"

using namespace vornmark;
using namespace vornmark::cli;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ParsedOptions parsed = parse_options(arguments_from_lines(data, size));
    if (parsed.error.find('\n') != std::string::npos) std::abort();
    if (parsed.error.empty() && parsed.options.command == Command::Run) plan_runs(parsed.options, 4);
    return 0;
}
