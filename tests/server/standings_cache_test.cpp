#include "server/standings_cache.h"

#include <future>

#include <gtest/gtest.h>

#include "server/sqlite_store.h"
#include "server/store_workers.h"
#include "server/timer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace vornmark::server {

using namespace std::chrono_literals;

namespace {

// The cache with a real store, workers and timer, read the way a request reads it.
struct CacheOnFile {
    TempDir dir;
    SqliteStore store{dir.file("board.db")};
    SqliteStore other_process{dir.file("board.db")};
    Timer timer;
    StoreWorkers workers{2};
    StandingsCache cache{store, workers, timer};

    CacheOnFile() { cache.fill(); }
    ~CacheOnFile() {
        workers.stop();
        timer.stop();
    }

    // The body a request at `now` gets, and whether it got it at once.
    std::pair<std::string, bool> body(const char* type, StandingsCache::Clock::time_point now) {
        auto later = std::make_shared<std::promise<Standings>>();
        std::optional<Standings> at_once = cache.get(
            type, [later](Standings s) { later->set_value(s); }, now);
        Standings got = at_once ? *at_once : later->get_future().get();
        return {got.body ? *got.body : "<none>", at_once.has_value()};
    }
};

}  // namespace

TEST(StandingsCache, KeepsAReplyForASecondUnlessThisProcessStoredARun) {
    CacheOnFile c;
    const auto t0 = StandingsCache::Clock::now();
    EXPECT_EQ(c.body("single", t0), std::pair(std::string(R"({"leaderboard":[]})"), true));
    c.other_process.add({"Elsewhere", 100, 1, "single"});
    EXPECT_EQ(c.body("single", t0).first, R"({"leaderboard":[]})");  // kept
    // Older than a second: read again, and the request waits for it.
    EXPECT_EQ(
        c.body("single", t0 + 2s),
        std::pair(std::string(R"({"leaderboard":[{"avg_score":100,"cpu":"Elsewhere","runs":1}]})"), false));

    // A run stored here makes the kept reply of its type old at once, and only that one.
    const auto t1 = StandingsCache::Clock::now();
    EXPECT_EQ(c.body("multi", t1).first, R"({"leaderboard":[]})");
    c.store.add({"Here", 300, 1, "single"});
    c.cache.forget("single");
    c.other_process.add({"Elsewhere", 500, 4, "multi"});
    EXPECT_EQ(c.body("single", t1).first, R"({"leaderboard":[{"avg_score":300,"cpu":"Here","runs":1},)"
                                          R"({"avg_score":100,"cpu":"Elsewhere","runs":1}]})");
    EXPECT_EQ(c.body("multi", t1).first, R"({"leaderboard":[]})");
}

// A request in the last part of a reply's lifetime gets it at once and has the next one read.
TEST(StandingsCache, ReadsTheNextReplyAheadOfTheLastOnesEnd) {
    CacheOnFile c;
    const auto t0 = StandingsCache::Clock::now();
    c.other_process.add({"Elsewhere", 100, 1, "single"});
    EXPECT_EQ(c.body("single", t0 + 500ms), std::pair(std::string(R"({"leaderboard":[]})"), true));
    EXPECT_EQ(c.body("single", t0 + 900ms), std::pair(std::string(R"({"leaderboard":[]})"), true));
    // The read ahead lands without anyone waiting for it; the time given stays within the lifetime.
    EXPECT_TRUE(wait_until([&] {
        return c.body("single", t0 + 900ms) ==
               std::pair(std::string(R"({"leaderboard":[{"avg_score":100,"cpu":"Elsewhere","runs":1}]})"),
                         true);
    }));
}

TEST(StandingsCache, AStoreThatFailsLeavesTheLastGoodReply) {
    CacheOnFile c;
    c.store.interrupt();  // every read fails from now on
    const auto later = StandingsCache::Clock::now() + 2s;
    EXPECT_EQ(c.body("single", later).first, R"({"leaderboard":[]})");
}

}  // namespace vornmark::server
