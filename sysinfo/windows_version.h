#pragma once

#include <string>

namespace vornmark {

// The operating-system text of a Windows machine from the registry's "ProductName",
// "DisplayVersion" and "CurrentBuildNumber" (each empty when absent): the product name, with its
// first "Windows 10" read as "Windows 11" from build 22000 on (Windows 11 kept the old product
// name), then " <display version>" and " (Build <build>)" when present.
std::string windows_version_text(const std::string& product_name, const std::string& display_version,
                                 const std::string& build_number);

}  // namespace vornmark
