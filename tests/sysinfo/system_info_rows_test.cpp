#include "sysinfo/system_info_rows.h"

#include <gtest/gtest.h>

TEST(SystemInfoRows, LabelsInPanelOrderWithTwoSpacingRows) {
    const auto rows = system_info_rows(SystemInfo{});
    std::vector<std::string> labels;
    for (const auto& row : rows) labels.push_back(row.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"CPU", "Cores", "Freq", "L1", "L2", "L3", "", "GPU", "VRAM",
                                                "RAM", "", "OS", "PC"}));
    EXPECT_EQ(rows[6].value, "");
    EXPECT_EQ(rows[10].value, "");
}

TEST(SystemInfoRows, NumbersAreFormattedForThePanel) {
    SystemInfo info;
    info.cpu_name = "CPU name";
    info.cores = 8;
    info.hardware_threads = 16;
    info.clock_ghz = 3.6;
    info.l1_cache = "48 KB";
    info.l2_cache = "1 MB";
    info.l3_cache = "N/A";
    info.gpu_name = "GPU name";
    info.vram_mb = 8192;
    info.ram_mb = 18446744073709551615ull;
    info.os_version = "OS";
    info.computer_name = "PC name";
    const auto rows = system_info_rows(info);
    EXPECT_EQ(rows[0].value, "CPU name");
    EXPECT_EQ(rows[1].value, "8C / 16T");
    EXPECT_EQ(rows[2].value, "3.60 GHz");
    EXPECT_EQ(rows[3].value, "48 KB");
    EXPECT_EQ(rows[4].value, "1 MB");
    EXPECT_EQ(rows[5].value, "N/A");
    EXPECT_EQ(rows[7].value, "GPU name");
    EXPECT_EQ(rows[8].value, "8192 MB");
    EXPECT_EQ(rows[9].value, "18446744073709551615 MB");
    EXPECT_EQ(rows[11].value, "OS");
    EXPECT_EQ(rows[12].value, "PC name");
}
