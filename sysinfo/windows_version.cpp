#include "sysinfo/windows_version.h"

#include <cctype>

namespace vornmark {

namespace {

// The leading decimal digits as a number (saturating), 0 when there are none.
long long leading_number(const std::string& text) {
    long long value = 0;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        if (value < 1000000000000LL) value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

std::string windows_version_text(const std::string& product_name, const std::string& display_version,
                                 const std::string& build_number) {
    std::string text = product_name;
    if (!build_number.empty() && leading_number(build_number) >= 22000 && text.size() >= 10) {
        const auto at = text.find("Windows 10");
        if (at != std::string::npos) text.replace(at, 10, "Windows 11");
    }
    if (!display_version.empty()) text += " " + display_version;
    if (!build_number.empty()) text += " (Build " + build_number + ")";
    return text;
}

}  // namespace vornmark
