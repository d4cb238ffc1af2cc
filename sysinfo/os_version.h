#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vornmark {

// The value of `key` in an os-release text (KEY=value lines), with shell-style quoting removed.
std::optional<std::string> os_release_value(std::string_view text, std::string_view key);

// "<name> (Kernel <release>)"; the name alone without a release, "Linux" for a release without a
// name, empty when both are empty.
std::string os_version_text(const std::string& name, const std::string& kernel_release);

// From etc/os-release (or usr/lib/os-release) and proc/sys/kernel/osrelease under `root`.
std::string read_os_version(const std::string& root);

// PRETTY_NAME of the os-release file under `root`, else "Linux" when there is a file without one.
std::string read_os_pretty_name(const std::string& root);

}  // namespace vornmark
