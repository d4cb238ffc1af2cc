#include "net/standings.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using json = nlohmann::json;

std::vector<LeaderboardEntry> read(const std::string& text) {
    json reply = json::parse(text);
    return read_standings(reply);
}

std::string failure_of(const std::string& text) {
    try {
        read(text);
        return "no error";
    } catch (const json::exception& error) {
        return error.what();
    }
}

}  // namespace

TEST(ReadStandings, RowsKeepTheServersOrderAndIgnoreOtherMembers) {
    const auto rows = read(R"({"version":2,"leaderboard":[
        {"cpu":"Zeta 9","avg_score":100,"runs":1,"rank":1},
        {"cpu":"Alpha 1","avg_score":900,"runs":12},
        {"cpu":"","avg_score":-5,"runs":0}]})");

    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].cpu, "Zeta 9");
    EXPECT_EQ(rows[0].avg_score, 100);
    EXPECT_EQ(rows[1].cpu, "Alpha 1");
    EXPECT_EQ(rows[1].runs, 12);
    EXPECT_EQ(rows[2].cpu, "");
    EXPECT_EQ(rows[2].avg_score, -5);
}

TEST(ReadStandings, NullOrMissingBoardGivesNoRows) {
    EXPECT_TRUE(read("{}").empty());
    EXPECT_TRUE(read("null").empty());
    EXPECT_TRUE(read(R"({"leaderboard":null})").empty());
    EXPECT_TRUE(read(R"({"leaderboard":[]})").empty());
}

TEST(ReadStandings, BoardObjectIsReadAsItsValuesInKeyOrder) {
    const auto rows = read(
        R"({"leaderboard":{"b":{"cpu":"second","avg_score":2,"runs":1},"a":{"cpu":"first","avg_score":1,"runs":3}}})");

    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].cpu, "first");
    EXPECT_EQ(rows[0].runs, 3);
    EXPECT_EQ(rows[1].cpu, "second");
    EXPECT_EQ(rows[1].avg_score, 2);
}

TEST(ReadStandings, NumbersAreTruncatedAndBooleansCountAsZeroOrOne) {
    const auto rows = read(R"({"leaderboard":[
        {"cpu":"a","avg_score":1234.7,"runs":true},
        {"cpu":"b","avg_score":-3.9,"runs":false},
        {"cpu":"c","avg_score":1e300,"runs":-1e300},
        {"cpu":"d","avg_score":18446744073709551615,"runs":-9223372036854775808},
        {"cpu":"e","avg_score":2147483647,"runs":-2147483648}]})");

    ASSERT_EQ(rows.size(), 5u);
    constexpr auto max = std::numeric_limits<std::int32_t>::max();
    constexpr auto min = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(rows[0].avg_score, 1234);
    EXPECT_EQ(rows[0].runs, 1);
    EXPECT_EQ(rows[1].avg_score, -3);
    EXPECT_EQ(rows[1].runs, 0);
    // Beyond the 32-bit range the values saturate instead of wrapping.
    EXPECT_EQ(rows[2].avg_score, max);
    EXPECT_EQ(rows[2].runs, min);
    EXPECT_EQ(rows[3].avg_score, max);
    EXPECT_EQ(rows[3].runs, min);
    EXPECT_EQ(rows[4].avg_score, max);
    EXPECT_EQ(rows[4].runs, min);
}

TEST(ReadStandings, WrongShapesRaiseTheLibrarysTypeErrors) {
    const std::string not_indexable =
        "[json.exception.type_error.305] cannot use operator[] with a string argument with ";
    EXPECT_EQ(failure_of("[]"), not_indexable + "array");
    EXPECT_EQ(failure_of(R"("text")"), not_indexable + "string");
    EXPECT_EQ(failure_of("true"), not_indexable + "boolean");
    EXPECT_EQ(failure_of(R"({"leaderboard":5})"), not_indexable + "number");
    EXPECT_EQ(failure_of(R"({"leaderboard":[{"cpu":"a","avg_score":1,"runs":1},[1]]})"),
              not_indexable + "array");

    EXPECT_EQ(failure_of(R"({"leaderboard":[{"cpu":"a","avg_score":1,"runs":1},{"avg_score":1,"runs":1}]})"),
              "[json.exception.type_error.302] type must be string, but is null");
    EXPECT_EQ(failure_of(R"({"leaderboard":[null]})"),
              "[json.exception.type_error.302] type must be string, but is null");
    EXPECT_EQ(failure_of(R"({"leaderboard":[{"cpu":7}]})"),
              "[json.exception.type_error.302] type must be string, but is number");
    EXPECT_EQ(failure_of(R"({"leaderboard":[{"cpu":"a","avg_score":"900"}]})"),
              "[json.exception.type_error.302] type must be number, but is string");
    EXPECT_EQ(failure_of(R"({"leaderboard":[{"cpu":"a","avg_score":1,"runs":[]}]})"),
              "[json.exception.type_error.302] type must be number, but is array");
    EXPECT_EQ(failure_of(R"({"leaderboard":[{"cpu":"a","avg_score":1}]})"),
              "[json.exception.type_error.302] type must be number, but is null");
}
