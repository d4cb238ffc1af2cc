#include "session/run_conditions.h"

#include <algorithm>
#include <cstdio>

namespace vornmark {

namespace {

std::string ghz_text(double mhz) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f GHz", mhz / 1000.0);
    return text;
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts) {
        if (!text.empty()) text += separator;
        text += part;
    }
    return text;
}

}  // namespace

std::string_view verdict_word(ConditionsVerdict verdict) {
    switch (verdict) {
    case ConditionsVerdict::Busy:
        return "busy";
    case ConditionsVerdict::Throttled:
        return "throttled";
    case ConditionsVerdict::Quiet:
        break;
    }
    return "quiet";
}

std::string percent_text(double percent) {
    char text[32];
    std::snprintf(text, sizeof text, percent >= 9.95 || percent <= -9.95 ? "%.0f %%" : "%.1f %%", percent);
    return text;
}

void judge_conditions(RunConditions& c) {
    c.reasons.clear();
    c.notes.clear();
    const double steal = c.steal_percent.value_or(0.0);
    const double taken = std::max(c.others_percent, 0.0) + std::max(steal, 0.0);
    // What the run left idle: nothing for a run on every thread.
    const std::int32_t machine = std::max(c.hardware_threads, 1);
    const std::int32_t used = std::clamp(c.threads, 1, machine);
    const double left_idle = 100.0 * (machine - used) / machine;
    const bool busy = taken - left_idle >= busy_threshold_percent;
    if (busy) {
        const std::string beyond = left_idle > 0.0 ? ", more than the " + percent_text(left_idle) + " a " +
                                                         std::to_string(used) + "-thread run leaves idle"
                                                   : "";
        // The larger taker is named first; a taker under 1 % is not named at all.
        std::vector<std::pair<double, std::string>> takers;
        if (c.others_percent >= 1.0 || steal < 1.0)
            takers.push_back({c.others_percent,
                              "other programs used " + percent_text(c.others_percent) + " of the processor"});
        if (steal >= 1.0)
            takers.push_back({steal, "the virtual machine's host took " + percent_text(steal) +
                                         " of the processor (steal)"});
        std::stable_sort(takers.begin(), takers.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        for (std::size_t i = 0; i < takers.size(); ++i)
            c.reasons.push_back(takers[i].second + (i + 1 == takers.size() ? beyond : ""));
    }
    const bool throttled = c.clock_start_mhz && c.clock_mean_mhz && *c.clock_start_mhz > 0.0 &&
                           *c.clock_mean_mhz < throttled_clock_share * *c.clock_start_mhz;
    if (throttled)
        c.reasons.push_back("the clock fell to " + ghz_text(*c.clock_mean_mhz) + " on average from " +
                            ghz_text(*c.clock_start_mhz) + " at the start");
    c.verdict = busy        ? ConditionsVerdict::Busy
                : throttled ? ConditionsVerdict::Throttled
                            : ConditionsVerdict::Quiet;
    if (c.on_battery.value_or(false)) c.notes.push_back("on battery");
    if (c.virtual_machine) c.notes.push_back("virtual machine");
}

std::string conditions_summary(const RunConditions& c) {
    std::string text(verdict_word(c.verdict));
    if (!c.reasons.empty()) text += ": " + joined(c.reasons, "; ");
    if (!c.notes.empty()) text += " (" + joined(c.notes, ", ") + ")";
    return text;
}

std::string conditions_line(const RunConditions& c) {
    std::vector<std::string> figures;
    figures.push_back("others " + percent_text(c.others_percent));
    figures.push_back(c.steal_percent ? "steal " + percent_text(*c.steal_percent) : "steal not available");
    if (c.clock_start_mhz && c.clock_mean_mhz && c.clock_min_mhz)
        figures.push_back("clock " + ghz_text(*c.clock_start_mhz) + " at the start, mean " +
                          ghz_text(*c.clock_mean_mhz) + ", min " + ghz_text(*c.clock_min_mhz));
    else
        figures.push_back("clock not available");
    figures.push_back(!c.on_battery ? "power not available" : *c.on_battery ? "on battery" : "on mains");
    const std::string policy = c.power_policy_name.empty() ? "governor" : c.power_policy_name;
    figures.push_back(policy + " " + (c.power_policy.empty() ? "not available" : c.power_policy));
    if (c.tail_percent) figures.push_back("tail " + percent_text(*c.tail_percent) + " idle");
    return "Conditions: " + conditions_summary(c) + ". " + joined(figures, ", ");
}

}  // namespace vornmark
