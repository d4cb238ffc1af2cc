#include "net/standings.h"

#include <gtest/gtest.h>

namespace vornmark {

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
    } catch (const std::exception& error) {
        return error.what();
    }
}

}  // namespace

TEST(ReadStandings, RowsKeepTheServersOrderAndIgnoreOtherMembers) {
    const auto rows = read(R"({"version":2,"leaderboard":[
        {"cpu":"Zeta 9","avg_score":100,"runs":1,"rank":1},
        {"cpu":"Alpha 1","avg_score":900,"runs":12},
        {"cpu":"","avg_score":0,"runs":1}]})");

    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].cpu, "Zeta 9");
    EXPECT_EQ(rows[0].avg_score, 100);
    EXPECT_EQ(rows[1].cpu, "Alpha 1");
    EXPECT_EQ(rows[1].runs, 12);
    EXPECT_EQ(rows[2].cpu, "");
    EXPECT_EQ(rows[2].avg_score, 0);
}

TEST(ReadStandings, NumbersAreTruncatedAndBooleansCountAsZeroOrOne) {
    const auto rows = read(R"({"leaderboard":[{"cpu":"a","avg_score":1234.7,"runs":true},
        {"cpu":"b","avg_score":false,"runs":12.9}]})");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].avg_score, 1234);
    EXPECT_EQ(rows[0].runs, 1);
    EXPECT_EQ(rows[1].avg_score, 0);
    EXPECT_EQ(rows[1].runs, 12);
    EXPECT_TRUE(read(R"({"leaderboard":[]})").empty());
}

// Replies no leaderboard server gives are refused, never shown as an empty board or odd numbers.
TEST(ReadStandings, ImpossibleBoardsAreRefused) {
    const std::pair<const char*, const char*> cases[] = {
        {"{}", R"(no "leaderboard" list)"},
        {"null", R"(no "leaderboard" list)"},
        {"[]", R"(no "leaderboard" list)"},
        {R"({"other":1})", R"(no "leaderboard" list)"},
        {R"({"leaderboard":null})", R"("leaderboard" is not a list)"},
        {R"({"leaderboard":5})", R"("leaderboard" is not a list)"},
        {R"({"leaderboard":{"a":{"cpu":"x","avg_score":1,"runs":1}}})", R"("leaderboard" is not a list)"},
        {R"({"leaderboard":[{"cpu":"a","avg_score":1,"runs":1},{"cpu":"b","avg_score":-3.9,"runs":1}]})",
         "row 2 has the score -3"},
        {R"({"leaderboard":[{"cpu":"a","avg_score":1e300,"runs":1}]})", "row 1 has the score 2147483647"},
        {R"({"leaderboard":[{"cpu":"a","avg_score":10000001,"runs":1}]})", "row 1 has the score 10000001"},
        {R"({"leaderboard":[{"cpu":"a","avg_score":5,"runs":-1e300}]})", "row 1 counts -2147483648 runs"},
        {R"({"leaderboard":[{"cpu":"a","avg_score":5,"runs":false}]})", "row 1 counts 0 runs"},
        {R"({"leaderboard":[{"cpu":"a","avg_score":5,"runs":100000001}]})", "row 1 counts 100000001 runs"},
    };
    for (const auto& [reply, reason] : cases) EXPECT_EQ(failure_of(reply), reason) << reply;
    EXPECT_EQ(read(R"({"leaderboard":[{"cpu":"a","avg_score":10000000,"runs":100000000}]})").size(), 1u);
}

TEST(ReadStandings, WrongShapesRaiseTheLibrarysTypeErrors) {
    const std::string not_indexable =
        "[json.exception.type_error.305] cannot use operator[] with a string argument with ";
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

}  // namespace vornmark
