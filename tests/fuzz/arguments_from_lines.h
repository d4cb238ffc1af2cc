#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vornmark {

// A fuzz input as a command line: one argument per line, empty lines kept as empty arguments.
inline std::vector<std::string> arguments_from_lines(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            args.emplace_back();
        } else {
            args.back().push_back(static_cast<char>(data[i]));
        }
    }
    return args;
}

}  // namespace vornmark
