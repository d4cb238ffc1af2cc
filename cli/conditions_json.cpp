#include "cli/conditions_json.h"

namespace vornmark::cli {

namespace {

template <class T>
nlohmann::ordered_json or_null(const std::optional<T>& value) {
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json or_null(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

}  // namespace

nlohmann::ordered_json conditions_json(const RunConditions& c) {
    return {
        {"verdict", verdict_word(c.verdict)},
        {"reasons", c.reasons},
        {"notes", c.notes},
        {"others_percent", c.others_percent},
        {"steal_percent", or_null(c.steal_percent)},
        {"clock_start_mhz", or_null(c.clock_start_mhz)},
        {"clock_mean_mhz", or_null(c.clock_mean_mhz)},
        {"clock_min_mhz", or_null(c.clock_min_mhz)},
        {"on_battery", or_null(c.on_battery)},
        {c.power_policy_name == "power scheme" ? "power_scheme" : "governor", or_null(c.power_policy)},
        {"virtual_machine", c.virtual_machine},
        {"threads", c.threads},
        {"hardware_threads", c.hardware_threads},
        {"tail_percent", or_null(c.tail_percent)},
    };
}

}  // namespace vornmark::cli
