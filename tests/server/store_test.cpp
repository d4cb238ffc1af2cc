#include "server/store.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

Submission run(std::string cpu, std::int32_t score, std::string type = "single") {
    return Submission{std::move(cpu), score, type == "single" ? 1 : 8, std::move(type)};
}

}  // namespace

TEST(Store, StandingsAverageAsTruncatedIntegers) {
    TempDir dir;
    Store store(dir.file("board.db"));
    store.add(run("A", 10));
    store.add(run("A", 11));
    store.add(run("B", 7));
    store.add(run("B", 8));
    store.add(run("B", 8));  // 23 / 3 = 7.67

    std::vector<StandingsRow> rows = store.standings("single");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].cpu, "A");
    EXPECT_EQ(rows[0].avg_score, 10);
    EXPECT_EQ(rows[0].runs, 2);
    EXPECT_EQ(rows[1].cpu, "B");
    EXPECT_EQ(rows[1].avg_score, 7);
    EXPECT_EQ(rows[1].runs, 3);
}

TEST(Store, StandingsPutBestFirstAndBreakTiesByName) {
    TempDir dir;
    Store store(dir.file("board.db"));
    store.add(run("Zeta", 500));
    store.add(run("alpha", 900));
    store.add(run("Beta", 500));
    store.add(run("Alpha", 500));

    std::vector<StandingsRow> rows = store.standings("single");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].cpu, "alpha");
    // Equal averages: byte order of the names.
    EXPECT_EQ(rows[1].cpu, "Alpha");
    EXPECT_EQ(rows[2].cpu, "Beta");
    EXPECT_EQ(rows[3].cpu, "Zeta");
}

TEST(Store, StandingsKeepTheRunTypesApart) {
    TempDir dir;
    Store store(dir.file("board.db"));
    store.add(run("Same CPU", 100, "single"));
    store.add(run("Same CPU", 700, "multi"));
    store.add(run("Other", 300, "multi"));

    std::vector<StandingsRow> single = store.standings("single");
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].avg_score, 100);

    std::vector<StandingsRow> multi = store.standings("multi");
    ASSERT_EQ(multi.size(), 2u);
    EXPECT_EQ(multi[0].cpu, "Same CPU");
    EXPECT_EQ(multi[0].avg_score, 700);
    EXPECT_EQ(multi[0].runs, 1);

    EXPECT_TRUE(store.standings("other").empty());
}

TEST(Store, StandingsStopAtAHundredRows) {
    TempDir dir;
    Store store(dir.file("board.db"));
    for (int i = 1; i <= 101; ++i) store.add(run("CPU " + std::to_string(i), i * 10));

    std::vector<StandingsRow> rows = store.standings("single");
    ASSERT_EQ(rows.size(), 100u);
    EXPECT_EQ(rows.front().cpu, "CPU 101");
    EXPECT_EQ(rows.back().cpu, "CPU 2");  // the weakest one is cut
}

TEST(Store, KeepsSubmissionsAcrossReopening) {
    TempDir dir;
    {
        Store store(dir.file("board.db"));
        store.add(run("Kept \xC2\xAE", 1234));
    }
    Store reopened(dir.file("board.db"));
    std::vector<StandingsRow> rows = reopened.standings("single");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].cpu, "Kept \xC2\xAE");
    EXPECT_EQ(rows[0].avg_score, 1234);
}

TEST(Store, ALockedDatabaseFailsTheWriteAndTheStoreRecovers) {
    TempDir dir;
    Store store(dir.file("board.db"), /*busy_timeout_ms=*/50);
    store.add(run("Before", 10));

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(dir.file("board.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

    EXPECT_THROW(store.add(run("Blocked", 20)), StoreError);
    // Readers still get through in WAL mode.
    EXPECT_EQ(store.standings("single").size(), 1u);

    ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);

    store.add(run("After", 30));
    std::vector<StandingsRow> rows = store.standings("single");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].cpu, "After");
    EXPECT_EQ(rows[1].cpu, "Before");
}

TEST(Store, RefusesAFileThatIsNotADatabase) {
    TempDir dir;
    {
        FILE* f = std::fopen(dir.file("junk.db").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("this is not an SQLite database, just some text that is long enough to matter......"
                   "................................................................................",
                   f);
        std::fclose(f);
    }
    EXPECT_THROW(Store(dir.file("junk.db")), StoreError);
    EXPECT_THROW(Store(dir.file("no-such-dir/board.db")), StoreError);
}
