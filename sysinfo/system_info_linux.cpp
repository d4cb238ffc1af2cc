#include "sysinfo/system_info.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <thread>

#include "sysinfo/cpu_brand.h"
#include "sysinfo/cpu_clock.h"
#include "sysinfo/cpu_topology.h"
#include "sysinfo/os_version.h"
#include "sysinfo/system_files.h"

namespace vornmark {

namespace {

std::string cpuinfo_model_name(const std::string& root) {
    const auto text = read_file_text(path_under(root, "proc/cpuinfo"));
    if (!text) return {};
    return colon_field(*text, "model name").value_or("");
}

std::uint64_t total_memory_mb(const std::string& root) {
    const auto text = read_file_text(path_under(root, "proc/meminfo"));
    if (!text) return 0;
    const auto field = colon_field(*text, "MemTotal");
    if (!field) return 0;
    std::string_view value = *field;
    std::uint64_t unit = 1;
    if (value.size() > 2 && value.substr(value.size() - 2) == "kB") {
        unit = 1024;
        value.remove_suffix(2);
    }
    const auto amount = parse_unsigned(value);
    if (!amount) return 0;
    return (*amount * unit) >> 20;
}

std::string running_host_name() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

std::string running_kernel_release() {
    struct utsname system {};
    if (::uname(&system) != 0) return {};
    return system.release;
}

}  // namespace

SystemInfo probe_system_info_at(const std::string& root) {
    SystemInfo info;
    info.cpu_name = cpuinfo_model_name(root);
    info.cores = count_physical_cores(root);
    info.hardware_threads = count_cpu_directories(root);
    info.clock_ghz = read_base_clock(root, info.cpu_name).ghz;
    const CacheSizes caches = read_cache_sizes(root);
    info.l1_cache = cache_size_text(caches.l1);
    info.l2_cache = cache_size_text(caches.l2);
    info.l3_cache = cache_size_text(caches.l3);
    info.ram_mb = total_memory_mb(root);
    info.os_version = read_os_version(root);
    info.computer_name = read_first_line(path_under(root, "proc/sys/kernel/hostname"));
    return info;
}

SystemInfo probe_system_info() {
    SystemInfo info = probe_system_info_at("/");
    if (std::string brand = cpuid_brand_string(); !brand.empty()) {
        info.cpu_name = std::move(brand);
        info.clock_ghz = read_base_clock("/", info.cpu_name).ghz;  // the name may carry the clock
    }
    info.hardware_threads = static_cast<std::int32_t>(std::thread::hardware_concurrency());
    if (std::string host = running_host_name(); !host.empty()) info.computer_name = std::move(host);
    if (std::string release = running_kernel_release(); !release.empty()) {
        info.os_version = os_version_text(read_os_pretty_name("/"), release);
    }
    return info;
}

void probe_graphics_adapter_at(const std::string& root, SystemInfo& info,
                               const std::vector<GraphicsAdapter>& extra, const std::string& pci_ids_file) {
    std::vector<GraphicsAdapter> adapters = list_drm_adapters(root, pci_ids_file);
    adapters.insert(adapters.end(), extra.begin(), extra.end());
    choose_graphics_adapter(adapters, info);
}

void probe_graphics_adapter(SystemInfo& info, const std::vector<GraphicsAdapter>& extra) {
    probe_graphics_adapter_at("/", info, extra);
}

}  // namespace vornmark
