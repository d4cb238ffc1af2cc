#pragma once

#include <string>
#include <string_view>

// Rules for a processor name beyond valid UTF-8 without control characters: it must
// show something, and it must not hide or reorder text, so that no row of the
// standings can be made to look like another processor's.
//
// Returns an empty text when the name passes, otherwise the rule it breaks, ready to
// follow "\"cpu_name\" must ...". Expects valid UTF-8.
std::string cpu_name_rule_broken(std::string_view name);
