#include "cli/console.h"

namespace vornmark::cli {

std::vector<std::string> command_line_arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

Utf8Console::Utf8Console() = default;

Utf8Console::~Utf8Console() = default;

}  // namespace vornmark::cli
