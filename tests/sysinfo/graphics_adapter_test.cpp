#include "sysinfo/graphics_adapter.h"

#include <gtest/gtest.h>

#include "sysinfo/pci_names.h"
#include "sysinfo/system_info.h"

namespace vornmark {

namespace {

const GraphicsAdapter discrete_card{"Radeon RX 6800", 8ull << 30};
const GraphicsAdapter integrated_card{"Radeon Vega", 128ull << 20};
const GraphicsAdapter software_renderer{"llvmpipe", 0};

}  // namespace

TEST(ChooseGraphicsAdapter, MostDedicatedMemoryWinsInEitherOrder) {
    for (const auto& adapters :
         {std::vector{discrete_card, integrated_card}, std::vector{integrated_card, discrete_card}}) {
        SystemInfo info;
        EXPECT_TRUE(choose_graphics_adapter(adapters, info));
        EXPECT_EQ(info.gpu_name, "Radeon RX 6800");
        EXPECT_EQ(info.vram_mb, 8192u);
    }
}

TEST(ChooseGraphicsAdapter, TieKeepsTheEarlierAdapter) {
    SystemInfo info;
    EXPECT_TRUE(
        choose_graphics_adapter({software_renderer, {"first", 4ull << 30}, {"second", 4ull << 30}}, info));
    EXPECT_EQ(info.gpu_name, "first");
}

TEST(ChooseGraphicsAdapter, NoDedicatedMemoryLeavesTheFieldsUntouched) {
    SystemInfo info;
    info.gpu_name = "earlier";
    info.vram_mb = 7;
    EXPECT_FALSE(choose_graphics_adapter({software_renderer, software_renderer}, info));
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

namespace {

const std::string pci_ids = VORNMARK_TEST_DATA_DIR "/pci.ids";

}  // namespace

TEST(DrmAdapters, ListsCardsInOrderWithDatabaseNamesAndMemory) {
    const auto adapters = list_drm_adapters(VORNMARK_TEST_DATA_DIR "/amd_ryzen_5700g", pci_ids);
    ASSERT_EQ(adapters.size(), 2u) << "connectors are not cards";
    EXPECT_EQ(adapters[0].description, "AMD/ATI [1002:1638]") << "a device the database lacks keeps its ids";
    EXPECT_EQ(adapters[0].dedicated_bytes, 512ull << 20);
    EXPECT_EQ(adapters[1].description, "AMD/ATI Navi 21 [Radeon RX 6800/6800 XT / 6900 XT]");
    EXPECT_EQ(adapters[1].dedicated_bytes, 8ull << 30);
}

TEST(DrmAdapters, CardsWithoutMemoryInformationHaveNone) {
    const auto adapters = list_drm_adapters(VORNMARK_TEST_DATA_DIR "/intel_i7_11800h", pci_ids);
    ASSERT_EQ(adapters.size(), 2u);
    EXPECT_EQ(adapters[0].description, "Intel TigerLake-H GT1 [UHD Graphics]");
    EXPECT_EQ(adapters[1].description, "NVIDIA GA106M [GeForce RTX 3060 Mobile / Max-Q]");
    EXPECT_EQ(adapters[0].dedicated_bytes, 0u);
    EXPECT_EQ(adapters[1].dedicated_bytes, 0u);
    EXPECT_TRUE(list_drm_adapters(VORNMARK_TEST_DATA_DIR "/vm_without_cpufreq", pci_ids).empty());
}

TEST(DrmAdapters, WithoutADatabaseOnlyTheIdsAreShown) {
    const auto adapters = list_drm_adapters(VORNMARK_TEST_DATA_DIR "/amd_ryzen_5700g",
                                            VORNMARK_TEST_DATA_DIR "/no-such-pci.ids");
    ASSERT_EQ(adapters.size(), 2u);
    EXPECT_EQ(adapters[1].description, "Graphics [1002:73bf]");
}

TEST(PciNames, LooksUpTheGivenDatabaseOnly) {
    PciNames names(pci_ids);
    EXPECT_EQ(names.vendor(0x10de), "NVIDIA Corporation");
    EXPECT_EQ(names.device(0x10de, 0x2520), "GA106M [GeForce RTX 3060 Mobile / Max-Q]");
    EXPECT_EQ(names.device(0x1002, 0x1638), std::nullopt);
    EXPECT_EQ(names.vendor(0x1af4), std::nullopt) << "in the system's database, not in this one";
}

TEST(PciAdapterDescription, ShortensTheVendorAndFallsBackToIds) {
    struct Case {
        std::optional<std::string> vendor;
        std::optional<std::string> device;
        const char* expected;
    };
    const Case cases[] = {
        {"Advanced Micro Devices, Inc. [AMD/ATI]", "Navi 21 [Radeon RX 6800/6800 XT / 6900 XT]",
         "AMD/ATI Navi 21 [Radeon RX 6800/6800 XT / 6900 XT]"},
        {"NVIDIA Corporation", "GA106M", "NVIDIA GA106M"},
        {"Red Hat, Inc.", "Virtio 1.0 GPU", "Red Hat Virtio 1.0 GPU"},
        {"VMware", "VMware SVGA II Adapter", "VMware SVGA II Adapter"},
        {"Matrox Electronics Systems Ltd.", std::nullopt, "Matrox Electronics Systems [1234:00ab]"},
        {std::nullopt, std::nullopt, "Graphics [1234:00ab]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pci_adapter_description(c.vendor, c.device, 0x1234, 0x00ab), c.expected) << c.expected;

    // At most 127 bytes, never half a character.
    const std::string long_name = std::string(124, 'x') + "Ã©Ã©";
    const std::string cut = pci_adapter_description("V", long_name, 1, 2);
    EXPECT_EQ(cut, "V " + std::string(124, 'x'));
}

TEST(PciNames, TheSystemDatabaseIsFoundByDefault) {
    PciNames names;
    EXPECT_NE(names.vendor(0x8086), std::nullopt) << "pci.ids is installed by scripts/setup.sh";
}

}  // namespace vornmark
