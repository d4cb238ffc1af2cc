#include <stdlib.h>

#include "tests/support/environment.h"

namespace vornmark {

// The C runtime's copy of the environment, which its time-zone functions read.
void set_environment_variable(const std::string& name, const std::optional<std::string>& value) {
    ::_putenv_s(name.c_str(), value ? value->c_str() : "");
}

std::optional<std::string> environment_variable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
}

}  // namespace vornmark
