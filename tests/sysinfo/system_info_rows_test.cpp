#include "sysinfo/system_info_rows.h"

#include <gtest/gtest.h>

#include "tests/support/sample_records.h"

namespace vornmark {

TEST(SystemInfoRows, LabelsInPanelOrderWithTwoSpacingRows) {
    const auto rows = system_info_rows(SystemInfo{});
    std::vector<std::string> labels;
    for (const auto& row : rows) labels.push_back(row.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"CPU", "Cores", "Freq", "L1", "L2", "L3", "", "GPU", "VRAM",
                                                "RAM", "", "OS", "PC"}));
    EXPECT_EQ(rows[6].value, "");
    EXPECT_EQ(rows[10].value, "");
}

// A machine where a probe found nothing: the row says so instead of staying blank or reading "0 MB".
TEST(SystemInfoRows, MissingValuesReadNotAvailable) {
    struct Case {
        void (*forget)(SystemInfo&);
        std::size_t row;
        const char* shown;
    };
    const Case cases[] = {
        {[](SystemInfo& i) { i.cpu_name.clear(); }, 0, "N/A"},
        {[](SystemInfo& i) { i.cores = i.hardware_threads = 0; }, 1, "N/A"},
        {[](SystemInfo& i) { i.cores = 0; }, 1, "N/A / 16T"},
        {[](SystemInfo& i) { i.clock_ghz = 0.0; }, 2, "N/A"},
        {[](SystemInfo& i) { i.l1_cache.clear(); }, 3, "N/A"},
        {[](SystemInfo& i) { i.gpu_name.clear(); }, 7, "N/A"},
        {[](SystemInfo& i) { i.vram_mb = 0; }, 8, "N/A"},
        {[](SystemInfo& i) { i.ram_mb = 0; }, 9, "N/A"},
        {[](SystemInfo& i) { i.os_version.clear(); }, 11, "N/A"},
        {[](SystemInfo& i) { i.computer_name.clear(); }, 12, "N/A"},
    };
    for (const Case& c : cases) {
        SystemInfo info = sample_machine();
        c.forget(info);
        const auto rows = system_info_rows(info);
        EXPECT_EQ(rows[c.row].value, c.shown) << rows[c.row].label;
        const auto complete = system_info_rows(sample_machine());
        for (std::size_t other = 0; other < rows.size(); ++other) {
            if (other == c.row) continue;
            EXPECT_EQ(rows[other].value, complete[other].value);
        }
    }
}

TEST(SystemInfoRows, NumbersAreFormattedForThePanel) {
    SystemInfo info = sample_machine();
    info.l3_cache = "N/A";
    info.ram_mb = 18446744073709551615ull;
    const auto rows = system_info_rows(info);
    EXPECT_EQ(rows[0].value, "Example 8-Core Processor");
    EXPECT_EQ(rows[1].value, "8C / 16T");
    EXPECT_EQ(rows[2].value, "3.60 GHz");
    EXPECT_EQ(rows[3].value, "48 KB");
    EXPECT_EQ(rows[4].value, "1 MB");
    EXPECT_EQ(rows[5].value, "N/A");
    EXPECT_EQ(rows[7].value, "Example Graphics");
    EXPECT_EQ(rows[8].value, "8192 MB");
    EXPECT_EQ(rows[9].value, "18446744073709551615 MB");
    EXPECT_EQ(rows[11].value, "Debian GNU/Linux 12");
    EXPECT_EQ(rows[12].value, "bench-pc");
}

}  // namespace vornmark
