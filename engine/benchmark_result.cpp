#include "engine/benchmark_result.h"

#include <limits>

namespace vornmark {

double elapsed_seconds(std::int64_t ns) {
    return static_cast<double>(ns) * 1e-9;
}

std::int32_t score_for_time(double seconds) {
    constexpr std::int32_t max_score = std::numeric_limits<std::int32_t>::max();
    // The negated test also catches NaN.
    if (!(seconds > 0.0)) return max_score;
    const double quotient = 120000.0 / seconds;
    if (quotient >= static_cast<double>(max_score)) return max_score;
    return static_cast<std::int32_t>(quotient);
}

std::string format_local_date(std::time_t time) {
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) return {};
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return std::string(text, length);
}

}  // namespace vornmark
