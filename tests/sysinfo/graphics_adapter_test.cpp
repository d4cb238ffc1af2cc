#include "sysinfo/graphics_adapter.h"

#include <gtest/gtest.h>

#include "sysinfo/system_info.h"

namespace {

const GraphicsAdapter kDiscrete{"Radeon RX 6800", 8ull << 30};
const GraphicsAdapter kIntegrated{"Radeon Vega", 128ull << 20};
const GraphicsAdapter kSoftware{"llvmpipe", 0};

}  // namespace

TEST(ChooseGraphicsAdapter, MostDedicatedMemoryWinsInEitherOrder) {
    for (const auto& adapters : {std::vector{kDiscrete, kIntegrated}, std::vector{kIntegrated, kDiscrete}}) {
        SystemInfo info;
        EXPECT_TRUE(choose_graphics_adapter(adapters, info));
        EXPECT_EQ(info.gpu_name, "Radeon RX 6800");
        EXPECT_EQ(info.vram_mb, 8192u);
    }
}

TEST(ChooseGraphicsAdapter, TieKeepsTheEarlierAdapter) {
    SystemInfo info;
    EXPECT_TRUE(choose_graphics_adapter({kSoftware, {"first", 4ull << 30}, {"second", 4ull << 30}}, info));
    EXPECT_EQ(info.gpu_name, "first");
}

TEST(ChooseGraphicsAdapter, NoDedicatedMemoryLeavesTheFieldsUntouched) {
    SystemInfo info;
    info.gpu_name = "earlier";
    info.vram_mb = 7;
    EXPECT_FALSE(choose_graphics_adapter({kSoftware, kSoftware}, info));
    EXPECT_FALSE(choose_graphics_adapter({}, info));
    EXPECT_EQ(info.gpu_name, "earlier");
    EXPECT_EQ(info.vram_mb, 7u);
}

TEST(ChooseGraphicsAdapter, MebibytesAreTruncated) {
    SystemInfo info;
    EXPECT_TRUE(choose_graphics_adapter({{"small", (3ull << 20) - 1}}, info));
    EXPECT_EQ(info.vram_mb, 2u);
    EXPECT_TRUE(choose_graphics_adapter({{"tiny", 1}}, info));
    EXPECT_EQ(info.gpu_name, "tiny");
    EXPECT_EQ(info.vram_mb, 0u);
}

TEST(DrmAdapters, ListsCardsInOrderWithVendorAndMemory) {
    const auto adapters = list_drm_adapters(VORNMARK_TEST_DATA_DIR "/amd_ryzen_5700g");
    ASSERT_EQ(adapters.size(), 2u) << "connectors are not cards";
    EXPECT_EQ(adapters[0].description, "AMD graphics [1002:1638]");
    EXPECT_EQ(adapters[0].dedicated_bytes, 512ull << 20);
    EXPECT_EQ(adapters[1].description, "AMD graphics [1002:73bf]");
    EXPECT_EQ(adapters[1].dedicated_bytes, 8ull << 30);
}

TEST(DrmAdapters, CardsWithoutMemoryInformationHaveNone) {
    const auto adapters = list_drm_adapters(VORNMARK_TEST_DATA_DIR "/intel_i7_11800h");
    ASSERT_EQ(adapters.size(), 2u);
    EXPECT_EQ(adapters[0].description, "Intel graphics [8086:9a60]");
    EXPECT_EQ(adapters[1].description, "NVIDIA graphics [10de:2520]");
    EXPECT_EQ(adapters[0].dedicated_bytes, 0u);
    EXPECT_EQ(adapters[1].dedicated_bytes, 0u);
    EXPECT_TRUE(list_drm_adapters(VORNMARK_TEST_DATA_DIR "/vm_without_cpufreq").empty());
}
