#pragma once

#include <string>
#include <string_view>

namespace vornmark {

// The history's Windows files call the wide (UTF-16) functions, so a path with any characters in
// it works whatever code page the process runs with. Text inside the program is UTF-8.

// UTF-8 to UTF-16; an ill-formed byte becomes U+FFFD.
std::wstring wide_from_utf8(std::string_view text);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf8_from_wide(std::wstring_view text);

// The environment variable's value as UTF-8; empty when it is unset or empty.
std::string environment_text(const wchar_t* name);

}  // namespace vornmark
