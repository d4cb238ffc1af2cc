// The Windows probes on the machine the tests run on; no figure of the machine is assumed.
#include <gtest/gtest.h>

#include "sysinfo/system_info.h"

namespace vornmark {

TEST(WindowsSystemInfo, ProbesDescribeThisMachine) {
    SystemInfo info = probe_system_info();
    EXPECT_FALSE(info.cpu_name.empty());
    EXPECT_NE(info.cpu_name.front(), ' ');
    EXPECT_GE(info.cores, 1);
    EXPECT_GE(info.hardware_threads, 1);
    EXPECT_GE(info.hardware_threads, info.cores);
    EXPECT_GT(info.ram_mb, 0u);
    EXPECT_FALSE(info.l1_cache.empty());
    EXPECT_FALSE(info.computer_name.empty());
    EXPECT_FALSE(info.os_version.empty());
    EXPECT_TRUE(info.gpu_name.empty()) << "the adapter comes from its own probe";

    probe_graphics_adapter(info, {{"Extra adapter", 1ull << 40}});
    EXPECT_EQ(info.gpu_name, "Extra adapter") << "an adapter with more memory than any wins";
    EXPECT_EQ(info.vram_mb, 1u << 20);
}

}  // namespace vornmark
