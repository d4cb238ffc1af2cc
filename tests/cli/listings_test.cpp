#include "cli/listings.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(Listings, InfoShowsThePanelsRowsWithGapsAfterCachesAndMemory) {
    SystemInfo info;
    info.cpu_name = "Test CPU 9000";
    info.cores = 8;
    info.hardware_threads = 16;
    info.clock_ghz = 3.6;
    info.l1_cache = "48 KB";
    info.l2_cache = "1 MB";
    info.l3_cache = "32 MB";
    info.ram_mb = 32768;
    const std::string text = info_listing(info);
    EXPECT_NE(text.find("CPU    Test CPU 9000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Cores  8C / 16T\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Freq   3.60 GHz\n"), std::string::npos) << text;
    EXPECT_NE(text.find("L3     32 MB\n\nGPU"), std::string::npos) << text;
    EXPECT_NE(text.find("RAM    32768 MB\n\nOS"), std::string::npos) << text;
}

TEST(Listings, HistoryNumbersRunsInStoredOrderAndShowsNewestFirst) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vornmark-listings-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    HistoryStore history((dir / "history.json").string());
    EXPECT_EQ(history_listing(history), "No results yet\n");

    history.append({"2026-01-01T10:00:00", "CPU", "single", 900, 133.3, 1});
    history.append({"2026-01-02T10:00:00", "CPU", "multi", 4100, 29.25, 8});
    const std::string text = history_listing(history);
    const std::size_t second = text.find("   2  multi    4100     29.2s  2026-01-02T10:00:00  CPU");
    const std::size_t first = text.find("   1  single    900    133.3s  2026-01-01T10:00:00  CPU");
    EXPECT_NE(second, std::string::npos) << text;
    EXPECT_NE(first, std::string::npos) << text;
    EXPECT_LT(second, first);
    EXPECT_NE(text.find("Best single-core: 900\nBest multi-core:  4100\n"), std::string::npos) << text;
    std::filesystem::remove_all(dir);
}

TEST(Listings, StandingsMarkOnlyTheOwnProcessorExactly) {
    const std::vector<LeaderboardEntry> rows = {
        {"Fast CPU", 9000, 3}, {"My CPU", 4000, 1}, {"my cpu", 3000, 2}};
    const std::string text = standings_listing("Single-Core", rows, "My CPU");
    EXPECT_NE(text.find(">    2  My CPU"), std::string::npos) << text;
    EXPECT_NE(text.find("     3  my cpu"), std::string::npos) << text;
    EXPECT_NE(text.find("     1  Fast CPU"), std::string::npos) << text;
    EXPECT_EQ(standings_listing("Multi-Core", {}, "My CPU"), "Multi-Core\n  No data yet\n");
}
