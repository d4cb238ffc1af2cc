#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sysinfo/graphics_adapter.h"

namespace vornmark {

// The machine's description, probed once at start.
struct SystemInfo {
    std::string cpu_name;
    std::int32_t cores = 0;
    std::int32_t hardware_threads = 0;
    double clock_ghz = 0.0;
    std::string l1_cache;
    std::string l2_cache;
    std::string l3_cache;
    std::string gpu_name;
    std::uint64_t vram_mb = 0;
    std::uint64_t ram_mb = 0;
    std::string os_version;
    std::string computer_name;
};

// Everything but the graphics adapter, from the files under `root` ("/" for this machine), so
// recorded machines can be described too:
//   cpu_name          "model name" of proc/cpuinfo
//   cores             distinct (physical_package_id, core_id) of sys/devices/system/cpu/cpu<N>/topology
//   hardware_threads  number of sys/devices/system/cpu/cpu<N> directories
//   clock_ghz         read_base_clock: the kernel's nominal frequency, else the "@ x.xxGHz" of the
//                     name, else cpufreq's cpuinfo_max_freq, else "cpu MHz", else 0
//   l1/l2/l3_cache    sys/devices/system/cpu/cpu0/cache/index<N>, "N/A" when absent
//   ram_mb            MemTotal of proc/meminfo
//   os_version        PRETTY_NAME of etc/os-release + " (Kernel " + proc/sys/kernel/osrelease + ")"
//   computer_name     proc/sys/kernel/hostname
SystemInfo probe_system_info_at(const std::string& root);

// This machine: probe_system_info_at("/"), with the processor's own brand string (CPUID on x86), the
// standard library's hardware thread count, and the host name and kernel release of the running
// system taking precedence over the files.
SystemInfo probe_system_info();

// Picks the adapter with the most dedicated memory among the DRM cards under `root` (named from the PCI
// id database `pci_ids_file`, empty for the system's), then `extra`.
void probe_graphics_adapter_at(const std::string& root, SystemInfo& info,
                               const std::vector<GraphicsAdapter>& extra = {},
                               const std::string& pci_ids_file = {});
void probe_graphics_adapter(SystemInfo& info, const std::vector<GraphicsAdapter>& extra = {});

// "N/A" for 0, whole MiB as "<n> MB" from 1 MiB on, otherwise whole KiB as "<n> KB".
std::string cache_size_text(std::uint64_t bytes);

}  // namespace vornmark
