#include "cli/listings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/sample_records.h"

namespace vornmark::cli {

TEST(Listings, InfoShowsThePanelsRowsWithGapsAfterCachesAndMemory) {
    const std::string text = info_listing(sample_machine());
    EXPECT_NE(text.find("CPU    Example 8-Core Processor\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Cores  8C / 16T\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Freq   3.60 GHz\n"), std::string::npos) << text;
    EXPECT_NE(text.find("L3     32 MB\n\nGPU"), std::string::npos) << text;
    EXPECT_NE(text.find("RAM    32768 MB\n\nOS"), std::string::npos) << text;

    SystemInfo odd = sample_machine();
    odd.cpu_name = "QEMU\x1b[31m CPU\r\n";
    EXPECT_NE(info_listing(odd).find("CPU    QEMU?[31m CPU??\n"), std::string::npos) << info_listing(odd);
}

TEST(Listings, HistoryNumbersRunsInStoredOrderAndShowsNewestFirst) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vornmark-listings-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    HistoryStore history((dir / "history.json").string());
    EXPECT_EQ(history_listing(history), "No results yet\n");

    history.append(sample_run("single", 900, 133.3, "2026-01-01T10:00:00"));
    history.append(sample_run("multi", 4100, 29.25, "2026-01-02T10:00:00"));
    const std::string text = history_listing(history);
    const std::size_t second = text.find("   2  multi    4100     29.2s  2026-01-02T10:00:00  Test CPU");
    const std::size_t first = text.find("   1  single    900    133.3s  2026-01-01T10:00:00  Test CPU");
    EXPECT_NE(second, std::string::npos) << text;
    EXPECT_NE(first, std::string::npos) << text;
    EXPECT_LT(second, first);
    EXPECT_NE(text.find("Best single-core: 900\nBest multi-core:  4100\n"), std::string::npos) << text;

    // A history file may come from anywhere: no escape sequence or line break of its own.
    HistoryEntry forged = sample_run("multi\x1b[2J", 100, 1.0, "2026-01-03\rFake line");
    forged.cpu = "Evil\x1b]0;title\x07 CPU\nFake line: 1. Winner 99999";
    history.append(forged);
    const std::string hostile = history_listing(history);
    EXPECT_EQ(hostile.find('\x1b'), std::string::npos) << hostile;
    EXPECT_EQ(hostile.find('\r'), std::string::npos) << hostile;
    EXPECT_EQ(hostile.find("\nFake line"), std::string::npos) << hostile;
    EXPECT_NE(hostile.find("Evil?]0;title? CPU?Fake line: 1. Winner 99999\n"), std::string::npos) << hostile;
    std::filesystem::remove_all(dir);
}

TEST(Listings, StandingsMarkOnlyTheOwnProcessorExactly) {
    const std::vector<LeaderboardEntry> rows = {
        {"Fast CPU", 9000, 3}, {"My CPU", 4000, 1}, {"my cpu", 3000, 2}};
    const std::string text = standings_listing("Single-Core", rows, {true, ""}, "My CPU");
    EXPECT_NE(text.find(">    2  My CPU"), std::string::npos) << text;
    EXPECT_NE(text.find("     3  my cpu"), std::string::npos) << text;
    EXPECT_NE(text.find("     1  Fast CPU"), std::string::npos) << text;
    EXPECT_NE(text.find("> your processor"), std::string::npos) << "the mark is explained";
    EXPECT_EQ(standings_listing("Single-Core", rows, {true, ""}, "Other CPU").find("your processor"),
              std::string::npos);
}

// The web page's address under the tables; for a leaderboard checked against a CA file of its own,
// how to trust its certificate in a browser.
TEST(Listings, WebPageAddressUnderTheTables) {
    const LeaderboardSetting plain =
        choose_leaderboard_setting({flag_source({"https://bench.example.org:8443", std::nullopt})});
    EXPECT_EQ(web_page_listing(plain), "\nOn the web: https://bench.example.org:8443/\n");
    LeaderboardSetting own_ca = plain;
    own_ca.endpoint.ca_file = "/tmp/local/cert.pem";
    EXPECT_EQ(
        web_page_listing(own_ca).rfind("\nOn the web: https://bench.example.org:8443/\n  A browser does not "
                                       "know this leaderboard's certificate (/tmp/local/cert.pem)",
                                       0),
        0u)
        << web_page_listing(own_ca);
    const LeaderboardSetting refused = choose_leaderboard_setting({flag_source({"http://x", std::nullopt})});
    EXPECT_EQ(web_page_listing(refused), "");
}

// What a run type's section says when there are no rows to show.
TEST(Listings, StandingsWithoutRowsSayWhy) {
    struct Case {
        FetchOutcome outcome;
        const char* text;
    };
    const Case cases[] = {
        {{true, ""}, "Multi-Core\n  No runs yet\n"},
        {{false, ""}, "Multi-Core\n  No data yet\n"},
        {{false, "HTTP 500 (127.0.0.1:1)"},
         "Multi-Core\n  Could not fetch the standings: HTTP 500 (127.0.0.1:1)\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(standings_listing("Multi-Core", {}, c.outcome, "My CPU"), c.text);
}

}  // namespace vornmark::cli
