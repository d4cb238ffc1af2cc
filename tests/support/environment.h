#pragma once

#include <optional>
#include <string>

// Sets (or, for nothing, removes) a variable of this process's environment.
void set_environment_variable(const std::string& name, const std::optional<std::string>& value);

// The variable's value, nothing when it is not set.
std::optional<std::string> environment_variable(const std::string& name);
