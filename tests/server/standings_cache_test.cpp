#include "server/standings_cache.h"

#include <gtest/gtest.h>

#include "server/sqlite_store.h"
#include "tests/support/temp_dir.h"

using namespace std::chrono_literals;

TEST(StandingsCache, KeepsAReplyForASecondUnlessThisProcessStoredARun) {
    TempDir dir;
    SqliteStore store(dir.file("board.db"));
    SqliteStore other_process(dir.file("board.db"));
    StandingsCache cache(store);

    const auto t0 = StandingsCache::Clock::now();
    EXPECT_EQ(*cache.reply_for("single", t0), R"({"leaderboard":[]})");
    other_process.add({"Elsewhere", 100, 1, "single"});
    EXPECT_EQ(*cache.reply_for("single", t0), R"({"leaderboard":[]})");  // kept
    EXPECT_EQ(*cache.reply_for("single", t0 + 2s),
              R"({"leaderboard":[{"avg_score":100,"cpu":"Elsewhere","runs":1}]})");

    // A run stored here drops the kept reply of its type at once, and only that one.
    EXPECT_EQ(*cache.reply_for("multi", t0 + 2s), R"({"leaderboard":[]})");
    store.add({"Here", 300, 1, "single"});
    cache.forget("single");
    other_process.add({"Elsewhere", 500, 4, "multi"});
    EXPECT_EQ(*cache.reply_for("single", t0 + 2s),
              R"({"leaderboard":[{"avg_score":300,"cpu":"Here","runs":1},)"
              R"({"avg_score":100,"cpu":"Elsewhere","runs":1}]})");
    EXPECT_EQ(*cache.reply_for("multi", t0 + 2s), R"({"leaderboard":[]})");
}
