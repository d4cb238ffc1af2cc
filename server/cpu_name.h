#pragma once

#include <string>
#include <string_view>

namespace vornmark::server {

// Processor names as the leaderboard keeps them, so that no row can pass for another
// processor's. All functions expect valid UTF-8 without control characters.

// The form a name is stored and shown in: trimmed, every run of white space (any
// Unicode White_Space character: tab-free spaces, no-break spaces, line separators ...)
// made one space, and normalised to NFC.
std::string canonical_cpu_name(std::string_view name);

// Empty when a canonical name may be stored, otherwise the rule it breaks, ready to
// follow "\"cpu_name\" must ...": it must show something, must not hide anything
// (format characters such as bidi controls and zero-width characters, or any other
// default-ignorable character), and must not start with a combining mark.
std::string cpu_name_rule_broken(std::string_view canonical_name);

// The key of the standings row a canonical name counts toward: the name with its
// compatibility forms folded (NFKC: fullwidth letters, digits and punctuation, ligatures)
// and the Braille blank made a space, then ICU's spoof-checker skeleton of that, the same
// for names that look alike ("Café" with a combining accent, "Cаfe" with a Cyrillic a,
// fullwidth "Ｃａｆｅ", "Cafe⠀" with a Braille blank).
std::string cpu_name_key(std::string_view canonical_name);

// A name's canonical form and its row's key, as the two functions above give them. The names
// seen lately are remembered, so that a client submitting again is not normalised anew.
struct CpuNameForms {
    std::string shown;  // canonical_cpu_name
    std::string key;    // cpu_name_key of that
};
CpuNameForms cpu_name_forms(std::string_view name);

// Changes whenever cpu_name_key may give other keys (these rules, or the Unicode data of
// the ICU in use), so that a store can tell that its rows must be keyed anew.
std::string cpu_name_key_version();

}  // namespace vornmark::server
