#include "history/file_replace.h"

#include <ctime>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>

std::string unreadable_copy_name(const std::string& path, std::time_t when, int attempt) {
    std::tm local{};
    char stamp[32] = "00000000-000000";
    if (::localtime_r(&when, &local) != nullptr) {
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    }
    std::string name = path + ".unreadable-" + stamp;
    if (attempt > 0) {
        name += '-';
        name += std::to_string(attempt);
    }
    return name;
}

bool read_whole_file(const std::string& path, std::string& text) {
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) return false;
        // The stream buffer throws on a read error instead of setting a flag.
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return !in.bad();
    } catch (const std::exception&) {
        return false;
    }
}
