#pragma once

#include <string>
#include <vector>

namespace vornmark {

// A configuration file of "key = value" lines. Blank lines and lines whose first visible
// character is '#' are skipped; blanks around keys and values are dropped. Unknown keys, keys
// given twice and lines without '=' make the whole file malformed, so a typing error is never
// taken for an unset value.
struct ConfigEntry {
    std::string key;
    std::string value;
    int line = 0;
};

struct ConfigFile {
    bool exists = false;
    std::vector<ConfigEntry> entries;
    std::string error;  // "PATH line N: ..." or "PATH: cannot be read (...)"; empty when read
};

ConfigFile read_config_file(const std::string& path, const std::vector<std::string>& known_keys);

}  // namespace vornmark
