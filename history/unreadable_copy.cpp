#include "history/unreadable_copy.h"

#include <ctime>
#include <string>

namespace vornmark {

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

}  // namespace vornmark
