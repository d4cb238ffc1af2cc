#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vornmark {

// How busy the machine was and whether its clock held while one run was timed, and what that
// says about the score.
enum class ConditionsVerdict { Quiet, Busy, Throttled };

// "quiet", "busy" or "throttled".
std::string_view verdict_word(ConditionsVerdict verdict);

struct RunConditions {
    // The figures.
    std::int32_t threads = 0;             // the run's workers
    std::int32_t hardware_threads = 0;    // the machine's
    double others_percent = 0.0;          // processor time of other processes, % of the whole machine
    std::optional<double> steal_percent;  // taken by a virtual machine's host; nothing where not reported
    std::optional<double> clock_start_mhz;
    std::optional<double> clock_mean_mhz;
    std::optional<double> clock_min_mhz;
    std::optional<bool> on_battery;
    std::string power_policy;       // the governor or power scheme; empty when not available
    std::string power_policy_name;  // "governor" or "power scheme"
    bool virtual_machine = false;
    // Share of the workers' time spent idle at the end, after the queue ran dry while the last
    // tiles finished; runs on more than one worker only.
    std::optional<double> tail_percent;

    // What they say, from judge_conditions.
    ConditionsVerdict verdict = ConditionsVerdict::Quiet;
    std::vector<std::string> reasons;  // why it is not quiet; busy and throttled may both be listed
    std::vector<std::string> notes;    // "on battery", "virtual machine"
};

// Others (steal counts as others) that the run could have used, in % of the machine, from which
// a run is busy: a run on every hardware thread could use all of it, a run on fewer threads only
// what is beyond the threads it left idle.
inline constexpr double busy_threshold_percent = 2.0;
// A mean clock under this share of the start clock is a throttled run.
inline constexpr double throttled_clock_share = 0.9;

// Fills verdict, reasons and notes from the figures.
void judge_conditions(RunConditions& conditions);

// The verdict with its reasons and notes: "quiet", "busy: other programs used 23 % of the
// processor (virtual machine)".
std::string conditions_summary(const RunConditions& conditions);

// The runner's line: "Conditions: " the summary, then every figure ("not available" where absent).
std::string conditions_line(const RunConditions& conditions);

// A share in %: "23 %", "1.4 %".
std::string percent_text(double percent);

}  // namespace vornmark
