#include "sysinfo/cpu_clock.h"

#include <charconv>
#include <cmath>

#include "sysinfo/system_files.h"

namespace {

double cpufreq_khz(const std::string& root, const char* file) {
    for (const char* directory :
         {"sys/devices/system/cpu/cpu0/cpufreq/", "sys/devices/system/cpu/cpufreq/policy0/"}) {
        const auto khz = parse_unsigned(read_first_line(path_under(root, std::string(directory) + file)));
        if (khz && *khz > 0) return static_cast<double>(*khz);
    }
    return 0.0;
}

double cpuinfo_mhz(const std::string& root) {
    const auto text = read_file_text(path_under(root, "proc/cpuinfo"));
    if (!text) return 0.0;
    const auto field = colon_field(*text, "cpu MHz");
    if (!field) return 0.0;
    double mhz = 0.0;
    const auto [end, error] = std::from_chars(field->data(), field->data() + field->size(), mhz);
    if (error != std::errc() || end != field->data() + field->size() || !(mhz > 0.0) || !std::isfinite(mhz)) {
        return 0.0;
    }
    return mhz;
}

}  // namespace

double read_base_clock_ghz(const std::string& root) {
    if (const double khz = cpufreq_khz(root, "base_frequency"); khz > 0.0) return khz / 1e6;
    if (const double khz = cpufreq_khz(root, "cpuinfo_max_freq"); khz > 0.0) return khz / 1e6;
    return cpuinfo_mhz(root) / 1e3;
}
