#include "sysinfo/system_info.h"

#include <gtest/gtest.h>

#include "sysinfo/system_info_rows.h"

namespace vornmark {

namespace {

const std::string data_dir = VORNMARK_TEST_DATA_DIR;

}  // namespace

TEST(ProbeSystemInfoAt, IntelDesktopWithBaseFrequencyAndHyperThreading) {
    SystemInfo info = probe_system_info_at(data_dir + "/intel_i7_11800h");
    EXPECT_EQ(info.cpu_name, "11th Gen Intel(R) Core(TM) i7-11800H @ 2.30GHz");
    EXPECT_EQ(info.cores, 8);
    EXPECT_EQ(info.hardware_threads, 16);
    EXPECT_DOUBLE_EQ(info.clock_ghz, 2.3);
    EXPECT_EQ(info.l1_cache, "48 KB");
    EXPECT_EQ(info.l2_cache, "1 MB");
    EXPECT_EQ(info.l3_cache, "24 MB");
    EXPECT_EQ(info.ram_mb, 31856u);
    EXPECT_EQ(info.os_version, "Ubuntu 22.04.4 LTS (Kernel 6.5.0-26-generic)");
    EXPECT_EQ(info.computer_name, "deskhost");
    EXPECT_EQ(info.gpu_name, "");
    EXPECT_EQ(info.vram_mb, 0u);

    // Neither card reports dedicated memory; an adapter the caller knows of is then the only choice.
    probe_graphics_adapter_at(data_dir + "/intel_i7_11800h", info);
    EXPECT_EQ(info.gpu_name, "");
    probe_graphics_adapter_at(data_dir + "/intel_i7_11800h", info, {{"NVIDIA GeForce RTX 3050", 4ull << 30}});
    EXPECT_EQ(info.gpu_name, "NVIDIA GeForce RTX 3050");
    EXPECT_EQ(info.vram_mb, 4096u);
}

TEST(ProbeSystemInfoAt, AmdMachineWithMaximumFrequencyAndTwoRadeons) {
    SystemInfo info = probe_system_info_at(data_dir + "/amd_ryzen_5700g");
    EXPECT_EQ(info.cpu_name, "AMD Ryzen 7 5700G with Radeon Graphics");
    EXPECT_EQ(info.cores, 8);
    EXPECT_EQ(info.hardware_threads, 16);
    EXPECT_DOUBLE_EQ(info.clock_ghz, 3.8);
    EXPECT_EQ(info.l1_cache, "32 KB");
    EXPECT_EQ(info.l2_cache, "512 KB");
    EXPECT_EQ(info.l3_cache, "16 MB");
    EXPECT_EQ(info.ram_mb, 64236u);
    EXPECT_EQ(info.os_version, "Fedora Linux 39 (Workstation Edition) (Kernel 6.7.9-200.fc39.x86_64)");
    EXPECT_EQ(info.computer_name, "ryzen-box");

    const std::string ids = data_dir + "/pci.ids";
    probe_graphics_adapter_at(data_dir + "/amd_ryzen_5700g", info, {}, ids);
    EXPECT_EQ(info.gpu_name, "AMD/ATI Navi 21 [Radeon RX 6800/6800 XT / 6900 XT]");
    EXPECT_EQ(info.vram_mb, 8192u);
    // A later source with equal memory does not displace the card.
    info.gpu_name.clear();
    probe_graphics_adapter_at(data_dir + "/amd_ryzen_5700g", info, {{"AMD Radeon RX 6800", 8ull << 30}}, ids);
    EXPECT_EQ(info.gpu_name, "AMD/ATI Navi 21 [Radeon RX 6800/6800 XT / 6900 XT]");
}

TEST(ProbeSystemInfoAt, VirtualMachineWithoutCpufreqOrCaches) {
    SystemInfo info = probe_system_info_at(data_dir + "/vm_without_cpufreq");
    probe_graphics_adapter_at(data_dir + "/vm_without_cpufreq", info);
    EXPECT_EQ(info.cpu_name, "AMD EPYC");
    EXPECT_EQ(info.cores, 2);
    EXPECT_EQ(info.hardware_threads, 2);
    EXPECT_DOUBLE_EQ(info.clock_ghz, 2.596142);
    EXPECT_EQ(info.l1_cache, "N/A");
    EXPECT_EQ(info.l2_cache, "N/A");
    EXPECT_EQ(info.l3_cache, "N/A");
    EXPECT_EQ(info.ram_mb, 24105u);
    EXPECT_EQ(info.os_version, "Debian GNU/Linux 12 (bookworm) (Kernel 6.1.0-18-amd64)");
    EXPECT_EQ(info.computer_name, "vm");
    EXPECT_EQ(info.gpu_name, "");
    EXPECT_EQ(info.vram_mb, 0u);
    EXPECT_EQ(system_info_rows(info)[2].value, "2.60 GHz");
}

TEST(ProbeSystemInfoAt, MissingRootGivesTheFallbacks) {
    SystemInfo info = probe_system_info_at(data_dir + "/no-such-machine");
    probe_graphics_adapter_at(data_dir + "/no-such-machine", info);
    EXPECT_EQ(info.cpu_name, "");
    EXPECT_EQ(info.cores, 0);
    EXPECT_EQ(info.hardware_threads, 0);
    EXPECT_EQ(info.clock_ghz, 0.0);
    EXPECT_EQ(info.l1_cache, "N/A");
    EXPECT_EQ(info.l2_cache, "N/A");
    EXPECT_EQ(info.l3_cache, "N/A");
    EXPECT_EQ(info.gpu_name, "");
    EXPECT_EQ(info.vram_mb, 0u);
    EXPECT_EQ(info.ram_mb, 0u);
    EXPECT_EQ(info.os_version, "");
    EXPECT_EQ(info.computer_name, "");
}

TEST(ProbeSystemInfo, DescribesThisMachine) {
    SystemInfo info = probe_system_info();
    probe_graphics_adapter(info);
    EXPECT_FALSE(info.cpu_name.empty());
    EXPECT_NE(info.cpu_name.front(), ' ');
    EXPECT_GE(info.hardware_threads, 1);
    EXPECT_GE(info.cores, 0);
    EXPECT_LE(info.cores, info.hardware_threads);
    EXPECT_GE(info.clock_ghz, 0.0);
    EXPECT_GT(info.ram_mb, 0u);
    EXPECT_FALSE(info.l1_cache.empty());
    EXPECT_NE(info.os_version.find(" (Kernel "), std::string::npos) << info.os_version;
    EXPECT_FALSE(info.computer_name.empty());
    for (const auto& row : system_info_rows(info)) {
        std::printf("%-6s %s\n", row.label.c_str(), row.value.c_str());
    }
}

}  // namespace vornmark
