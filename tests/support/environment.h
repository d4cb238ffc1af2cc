#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vornmark {

// Sets (or, for nothing, removes) a variable of this process's environment.
void set_environment_variable(const std::string& name, const std::optional<std::string>& value);

// The variable's value, nothing when it is not set.
std::optional<std::string> environment_variable(const std::string& name);

// Unsets the named variables for the life of the object and then puts back what they held, so a
// test may set them freely.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            saved_.emplace_back(name, environment_variable(name));
            set_environment_variable(name, std::nullopt);
        }
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value] : saved_) set_environment_variable(name, value);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace vornmark
