// The attacks a public board must hold against, on both stores: a forged run, a flood from one
// address, implausible scores, invented names, look-alike names; and the operator's tools.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "server/address_unit.h"
#include "server/cpu_name.h"
#include "server/store_factory.h"
#include "tests/server/store_fixture.h"

namespace vornmark::server {

namespace {

using Kind = SubmitOutcome::Kind;

Submission multi(const std::string& cpu, std::int32_t score, std::int32_t threads = 8) {
    return Submission{cpu, score, threads, "multi"};
}

class BoardRules_ : public testing::TestWithParam<StoreKind> {
protected:
    std::unique_ptr<Store> open(BoardRules rules = {}) { return open_store(where_.location(), rules); }

    // 20 honest runs of 990 to 1009 on 8 threads, each from an address of its own.
    static void honest_row(Store& store) {
        for (int i = 0; i < 20; ++i) {
            EXPECT_EQ(store.submit(multi("Honest CPU", 990 + i), "honest " + std::to_string(i)).kind, Kind::counted);
        }
    }
    static std::int64_t average(Store& store, const std::string& cpu = "Honest CPU") {
        auto row = store.processor_row("multi", cpu_name_key(cpu));
        return row ? row->avg_score : -1;
    }

    FreshLocation where_{GetParam()};
};

TEST_P(BoardRules_, OneLiarMovesAnHonestRowByUnderFivePercent) {
    struct Attack {
        const char* what;
        std::vector<Submission> runs;  // all from one address
    };
    const Attack attacks[] = {
        {"one forged run on 4096 threads", {multi("Honest CPU", 8'000'000, 4096)}},
        {"one forged run on 2 threads", {multi("Honest CPU", 4000, 2)}},
        {"21 runs of score 1", std::vector<Submission>(21, multi("Honest CPU", 1, 2))},
        {"21 runs of a tenth", std::vector<Submission>(21, multi("Honest CPU", 100))},
    };
    for (const Attack& attack : attacks) {
        FreshLocation where(GetParam());
        auto store = open_store(where.location(), BoardRules{});
        honest_row(*store);
        const std::int64_t before = average(*store);
        for (const Submission& s : attack.runs) store->submit(s, "liar");
        const std::int64_t after = average(*store);
        EXPECT_LT(std::abs(after - before), before / 20) << attack.what << ": " << before << " -> " << after;
    }
}

TEST_P(BoardRules_, ImplausibleScoresAreRefusedAndLoggedForTheOperator) {
    auto store = open();
    const Submission refused[] = {multi("Fast CPU", 10'000'000, 2), {"Fast CPU", 10'000, 1, "single"},
                                  multi("Fast CPU", 2001 * 8, 8)};
    for (const Submission& s : refused) {
        const SubmitOutcome outcome = store->submit(s, "forger");
        EXPECT_EQ(outcome.kind, Kind::refused) << s.score;
        EXPECT_NE(outcome.why.find("above 2000"), std::string::npos) << outcome.why;
    }
    EXPECT_EQ(store->submit(multi("Fast CPU", 2000 * 8), "honest").kind, Kind::counted);
    EXPECT_EQ(store->run_count(), 1);
    EXPECT_EQ(store->flagged(100).size(), 3u);
}

TEST_P(BoardRules_, AnAddressCountsFiveRunsPerRowAndDayAndFiveNewNames) {
    auto store = open();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(store->submit(multi("Mine", 1000), "one").kind, Kind::counted) << i;
    const SubmitOutcome sixth = store->submit(multi("Mine", 1000), "one");
    EXPECT_EQ(sixth.kind, Kind::not_counted);
    EXPECT_NE(sixth.why.find("stored, not counted"), std::string::npos) << sixth.why;
    EXPECT_EQ(store->submit(multi("Mine", 1000), "two").kind, Kind::counted);  // another address
    EXPECT_EQ(store->processor_row("multi", cpu_name_key("Mine"))->runs, 6);
    EXPECT_EQ(store->run_count(), 7);  // every run stays stored

    // "Mine" was the first new name of "one"; four more, then no more today.
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(store->submit(multi("Invented " + std::to_string(i), 1000), "one").kind, Kind::counted);
    const SubmitOutcome spam = store->submit(multi("Invented 5", 1000), "one");
    EXPECT_EQ(spam.kind, Kind::refused);
    EXPECT_NE(spam.why.find("new processor names"), std::string::npos) << spam.why;
    EXPECT_EQ(store->submit({"Mine", 100, 1, "single"}, "one").kind, Kind::counted);  // a known name
    EXPECT_EQ(store->submit(multi("Invented 5", 1000), "two").kind, Kind::counted);
}

TEST_P(BoardRules_, APrivateBoardCountsEveryRunAndAPublicOneListsRowsBackedByEnoughAddresses) {
    BoardRules lab;
    lab.private_board = true;
    lab.min_addresses = 3;
    {
        auto store = open(lab);
        for (int i = 0; i < 30; ++i) EXPECT_EQ(store->submit(multi("Lab " + std::to_string(i % 10), 1000), "lab").kind, Kind::counted);
        EXPECT_EQ(store->standings("multi").size(), 10u);
    }
    BoardRules board;
    board.min_addresses = 3;
    auto store = open(board);
    store->submit(multi("Lab 0", 1000), "a");
    store->submit(multi("Lab 0", 1000), "b");
    EXPECT_EQ(store->standings("multi").size(), 1u);  // "lab", "a" and "b" back Lab 0 alone
    // Runs moved in from elsewhere count as from addresses of their own.
    store->add_many({{multi("Moved", 900), 0}, {multi("Moved", 900), 0}, {multi("Moved", 900), 0}});
    EXPECT_EQ(store->standings("multi").size(), 2u);
    store->submit(multi("New", 1000), "a");
    store->submit(multi("New", 1000), "b");
    EXPECT_FALSE(store->processor_row("multi", cpu_name_key("New")));
    store->submit(multi("New", 1000), "c");
    EXPECT_TRUE(store->processor_row("multi", cpu_name_key("New")));
}

TEST_P(BoardRules_, BrailleBlanksAndCompatibilityFormsShareTheRowOfThePlainName) {
    auto store = open();
    const char* spellings[] = {"AMD Ryzen 5", "AMD\xE2\xA0\x80Ryzen 5", "AMD Ryzen 5\xE2\xA0\x80",
                               "\xEF\xBC\xA1MD Ryzen \xEF\xBC\x95"};  // fullwidth A and 5
    for (const char* name : spellings) store->submit(multi(name, 1000), name);
    const char* cafe[] = {"Caf\xC3\xA9 Processor X1",
                          "\xEF\xBC\xA3\xEF\xBD\x81\xEF\xBD\x86\xC3\xA9 \xEF\xBC\xB0\xEF\xBD\x92\xEF\xBD\x8F"
                          "cessor \xEF\xBC\xB8\xEF\xBC\x91"};
    for (const char* name : cafe) store->submit(multi(name, 500), name);
    const std::vector<StandingsRow> rows = store->standings("multi");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].cpu, "AMD Ryzen 5");
    EXPECT_EQ(rows[0].runs, 4);
    EXPECT_EQ(rows[1].cpu, "Caf\xC3\xA9 Processor X1");
    EXPECT_EQ(rows[1].runs, 2);
}

TEST_P(BoardRules_, TheOperatorHidesRowsForgetsAnAddressAndSeesTheOutliers) {
    auto store = open();
    honest_row(*store);
    for (int i = 0; i < 5; ++i) store->submit(multi("Honest CPU", 8000, 16), "liar");  // 4 times the median
    store->submit(multi("Other CPU", 700), "liar");
    const std::vector<FlaggedRun> flagged = store->flagged(100);
    ASSERT_EQ(flagged.size(), 5u);
    EXPECT_EQ(flagged[0].score, 8000);
    EXPECT_NE(flagged[0].why.find("median"), std::string::npos);

    EXPECT_TRUE(store->set_hidden("Other\xE2\xA0\x80" "CPU", true));  // found by its key
    EXPECT_EQ(store->standings("multi").size(), 1u);
    EXPECT_FALSE(store->processor_row("multi", cpu_name_key("Other CPU")));
    EXPECT_TRUE(store->set_hidden("Other CPU", false));
    EXPECT_EQ(store->standings("multi").size(), 2u);
    EXPECT_FALSE(store->set_hidden("No Such CPU", true));

    EXPECT_EQ(store->forget_unit("liar"), 6);
    EXPECT_TRUE(store->flagged(100).empty());
    EXPECT_EQ(store->standings("multi").size(), 1u);
    EXPECT_EQ(store->processor_row("multi", cpu_name_key("Honest CPU"))->runs, 20);
    EXPECT_EQ(store->run_count(), 26);
}

INSTANTIATE_TEST_SUITE_P(, BoardRules_, testing::Values(StoreKind::sqlite, StoreKind::postgresql), store_kind_name);

TEST(AddressUnit, IPv4IsItsOwnUnitIPv6ItsSlash64) {
    const std::pair<const char*, const char*> cases[] = {
        {"198.51.100.7", "198.51.100.7"},
        {"::ffff:198.51.100.7", "198.51.100.7"},
        {"2001:db8:1:2:aaaa:bbbb:cccc:dddd", "2001:db8:1:2::/64"},
        {"2001:0db8:0001:0002::1", "2001:db8:1:2::/64"},
        {"::1", "::/64"},
    };
    for (const auto& [address, unit] : cases) EXPECT_EQ(address_unit(address), unit) << address;
    EXPECT_FALSE(address_unit("unknown"));

    const AddressKey key("a secret of the test's own");
    EXPECT_EQ(key.unit_of("2001:db8:1:2::1"), key.unit_of("2001:db8:1:2:ffff::9"));
    EXPECT_NE(key.unit_of("2001:db8:1:2::1"), key.unit_of("2001:db8:1:3::1"));
    EXPECT_EQ(key.unit_of("::ffff:10.0.0.1"), key.unit_of("10.0.0.1"));
    EXPECT_NE(key.unit_of("10.0.0.1"), AddressKey("another secret entirely").unit_of("10.0.0.1"));
    EXPECT_EQ(key.unit_of("10.0.0.1").find("10.0"), std::string::npos);  // never in clear
    // HMAC-SHA-256 as stored by every version: forgetting an address must find older runs too.
    EXPECT_EQ(key.unit_of("10.0.0.1"), "1f75aae7cb66549d13ebf87bd3231d3c");
}

TEST(AddressKey, IsMadeOnceKeptAfterwardsAndAnUnreadableFileIsAnError) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("vornmark-key-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directory(dir);
    const std::string path = (dir / "address.key").string();
    const std::string made = AddressKey::load_or_create(path).unit_of("10.0.0.1");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(AddressKey::load_or_create(path).unit_of("10.0.0.1"), made);
    // A link to nothing is there and cannot be read: one clear error, not an endless retry.
    const std::string dangling = (dir / "dangling.key").string();
    fs::create_symlink(dir / "missing", dangling);
    EXPECT_THROW(AddressKey::load_or_create(dangling), std::runtime_error);
    fs::remove_all(dir);
}

}  // namespace

}  // namespace vornmark::server
