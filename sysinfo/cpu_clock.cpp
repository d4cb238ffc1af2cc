#include "sysinfo/cpu_clock.h"

#include <charconv>
#include <cmath>

#include "sysinfo/system_files.h"

namespace vornmark {

namespace {

double cpufreq_khz(const std::string& root, const char* file) {
    for (const char* directory :
         {"sys/devices/system/cpu/cpu0/cpufreq/", "sys/devices/system/cpu/cpufreq/policy0/"}) {
        const auto khz = parse_unsigned(read_first_line(path_under(root, std::string(directory) + file)));
        if (khz && *khz > 0) return static_cast<double>(*khz);
    }
    return 0.0;
}

double cppc_nominal_mhz(const std::string& root) {
    const auto mhz = parse_unsigned(
        read_first_line(path_under(root, "sys/devices/system/cpu/cpu0/acpi_cppc/nominal_freq")));
    return mhz ? static_cast<double>(*mhz) : 0.0;
}

// A positive, finite decimal number at the start of `text`; the rest is left in `text`.
double leading_number(std::string_view& text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || !(value > 0.0) || !std::isfinite(value)) return 0.0;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

double cpuinfo_mhz(const std::string& root) {
    const auto text = read_file_text(path_under(root, "proc/cpuinfo"));
    if (!text) return 0.0;
    const auto field = colon_field(*text, "cpu MHz");
    if (!field) return 0.0;
    std::string_view rest = *field;
    const double mhz = leading_number(rest);
    return rest.empty() ? mhz : 0.0;
}

bool equals_ignoring_case(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != lower[i]) return false;
    }
    return true;
}

}  // namespace

double clock_in_processor_name(std::string_view cpu_name) {
    const auto at = cpu_name.rfind('@');
    if (at == std::string_view::npos) return 0.0;
    std::string_view rest = trim_white_space(cpu_name.substr(at + 1));
    const double value = leading_number(rest);
    if (value == 0.0) return 0.0;
    rest = trim_white_space(rest);
    if (equals_ignoring_case(rest, "ghz")) return value;
    if (equals_ignoring_case(rest, "mhz")) return value / 1e3;
    return 0.0;
}

BaseClock read_base_clock(const std::string& root, std::string_view cpu_name) {
    for (const char* file : {"base_frequency", "amd_pstate_nominal_freq"}) {
        if (const double khz = cpufreq_khz(root, file); khz > 0.0) return {khz / 1e6, ClockSource::Nominal};
    }
    if (const double mhz = cppc_nominal_mhz(root); mhz > 0.0) return {mhz / 1e3, ClockSource::Nominal};
    if (const double ghz = clock_in_processor_name(cpu_name); ghz > 0.0)
        return {ghz, ClockSource::ProcessorName};
    if (const double khz = cpufreq_khz(root, "cpuinfo_max_freq"); khz > 0.0)
        return {khz / 1e6, ClockSource::MaximumClock};
    if (const double mhz = cpuinfo_mhz(root); mhz > 0.0) return {mhz / 1e3, ClockSource::CurrentClock};
    return {};
}

}  // namespace vornmark
