#include "sysinfo/cpu_topology.h"

#include <gtest/gtest.h>

#include "sysinfo/system_files.h"

namespace vornmark {

TEST(CacheSizeParsing, UnderstandsSysfsUnits) {
    EXPECT_EQ(parse_cache_size("32K"), 32768u);
    EXPECT_EQ(parse_cache_size("1024K\n"), 1048576u);
    EXPECT_EQ(parse_cache_size("32768K"), 33554432u);
    EXPECT_EQ(parse_cache_size("8M"), 8388608u);
    EXPECT_EQ(parse_cache_size("1G"), 1073741824u);
    EXPECT_EQ(parse_cache_size("512"), 512u);
    EXPECT_EQ(parse_cache_size(""), 0u);
    EXPECT_EQ(parse_cache_size("K"), 0u);
    EXPECT_EQ(parse_cache_size("lots"), 0u);
    EXPECT_EQ(parse_cache_size("99999999999999999999K"), 0u);
}

TEST(CacheSizes, LevelOneCountsOnlyDataAndLaterIndicesOverwrite) {
    // index0 L1 Instruction 64K, index1 L1 Data 32K, index2 L1 Unified 128K, index3 L2 256K,
    // index4 L2 Data 2M, index9 L3 1M, index10 L3 4M.
    const CacheSizes sizes = read_cache_sizes(VORNMARK_TEST_DATA_DIR "/cache_order");
    EXPECT_EQ(sizes.l1, 32u * 1024);
    EXPECT_EQ(sizes.l2, 2u * 1024 * 1024);
    EXPECT_EQ(sizes.l3, 4u * 1024 * 1024) << "index10 comes after index9";
}

TEST(CacheSizes, NothingListedGivesZeros) {
    const CacheSizes sizes = read_cache_sizes(VORNMARK_TEST_DATA_DIR "/vm_without_cpufreq");
    EXPECT_EQ(sizes.l1, 0u);
    EXPECT_EQ(sizes.l2, 0u);
    EXPECT_EQ(sizes.l3, 0u);
}

TEST(SystemFiles, ColonFieldsTakeTheFirstMatchingKey) {
    const std::string text = "processor\t: 0\nmodel name\t: First  CPU \nmodel name\t: Second\nmodel\t: 5\n";
    EXPECT_EQ(colon_field(text, "model name").value_or("?"), "First  CPU");
    EXPECT_EQ(colon_field(text, "model").value_or("?"), "5");
    EXPECT_FALSE(colon_field(text, "cpu MHz").has_value());
}

TEST(SystemFiles, PathsJoinBelowTheRoot) {
    EXPECT_EQ(path_under("/", "proc/cpuinfo"), "/proc/cpuinfo");
    EXPECT_EQ(path_under("/tmp/fixture", "proc/cpuinfo"), "/tmp/fixture/proc/cpuinfo");
    EXPECT_EQ(path_under("/tmp/fixture/", "proc/cpuinfo"), "/tmp/fixture/proc/cpuinfo");
}

}  // namespace vornmark
