#include "net/config_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "net/quoted.h"

namespace vornmark {

namespace {

// Far more than any real configuration; a bound so that a path to an endless device stays harmless.
constexpr std::size_t max_config_bytes = 64 * 1024;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

ConfigFile read_config_file(const std::string& path, const std::vector<std::string>& known_keys) {
    ConfigFile file;
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> stream(std::fopen(path.c_str(), "rb"));
    if (!stream) {
        if (errno == ENOENT || errno == ENOTDIR) return file;
        file.exists = true;
        file.error = path + ": cannot be read (" + std::strerror(errno) + ")";
        return file;
    }
    file.exists = true;
    std::string text(max_config_bytes + 1, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), stream.get()));
    if (std::ferror(stream.get())) {
        file.error = path + ": cannot be read (" + std::strerror(errno) + ")";
        return file;
    }
    if (text.size() > max_config_bytes) {
        file.error = path + ": larger than " + std::to_string(max_config_bytes / 1024) + " KiB";
        return file;
    }
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);

    int number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = trimmed(line);
        if (line.empty() || line.front() == '#') continue;

        const std::string where = path + " line " + std::to_string(number) + ": ";
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            file.error = where + "expected \"key = value\", found " + quoted_for_message(line);
            return file;
        }
        ConfigEntry entry{std::string(trimmed(line.substr(0, equals))),
                          std::string(trimmed(line.substr(equals + 1))), number};
        if (std::find(known_keys.begin(), known_keys.end(), entry.key) == known_keys.end()) {
            std::string known;
            for (const std::string& key : known_keys) known += (known.empty() ? "" : ", ") + key;
            file.error = where + "unknown key " + quoted_for_message(entry.key) + " (known: " + known + ")";
            return file;
        }
        for (const ConfigEntry& earlier : file.entries) {
            if (earlier.key == entry.key) {
                file.error = where + entry.key + " is set a second time (first on line " +
                             std::to_string(earlier.line) + ")";
                return file;
            }
        }
        file.entries.push_back(std::move(entry));
    }
    return file;
}

}  // namespace vornmark
