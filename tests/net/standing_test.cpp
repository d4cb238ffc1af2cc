#include "net/standing.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "net/standings.h"

namespace vornmark {

namespace {

const std::string full_reply =
    R"({"cpu":"AMD EPYC","runs":41,"avg_score":138,"faster_than":63.4,"faster_than_all":40.2,"rank":12,)"
    R"("rows":230,"histogram":{"edges":[100,120,140,160],"counts":[5,30,6]},"median":139,"p10":120,"p90":150})";

}  // namespace

TEST(Standing, ReadsEveryMemberAndWritesTheLines) {
    const Standing standing = standing_from_reply(full_reply);
    EXPECT_EQ(standing.cpu, "AMD EPYC");
    EXPECT_EQ(standing.runs, 41);
    EXPECT_EQ(standing.rank, 12);
    EXPECT_EQ(standing.counts, (std::vector<std::int64_t>{5, 30, 6}));
    EXPECT_EQ(standing_line(standing),
              "Faster than 63.4 % of 41 runs of this processor \u00B7 #12 of 230 processors");
    EXPECT_EQ(
        where_you_stand_line(standing),
        "Where you stand: faster than 63.4 % of 41 runs of AMD EPYC (median 139, p10\u2013p90 120\u2013150); "
        "#12 of 230 processors");
    EXPECT_EQ(nlohmann::json::parse(standing_json(standing)), nlohmann::json::parse(full_reply));

    // An unknown processor: no runs, no place.
    const Standing unknown =
        standing_from_reply(R"({"cpu":"New\u001b[2J CPU","runs":0,"faster_than_all":12.5,"rows":3})");
    EXPECT_EQ(standing_line(unknown), "No counted runs of this processor yet");
    EXPECT_EQ(where_you_stand_line(unknown), "Where you stand: no counted runs of New?[2J CPU yet");
    EXPECT_FALSE(unknown.has_histogram());
}

TEST(Standing, RefusesRepliesNoLeaderboardGives) {
    const std::vector<std::string> impossible = {
        R"([1])",
        R"({"cpu":"A","runs":-1,"rows":1})",
        R"({"cpu":"A","runs":1,"faster_than":100.5,"rows":1})",
        R"({"cpu":"A","runs":1,"rank":3,"rows":2})",
        R"({"cpu":"A","runs":1,"rank":0,"rows":2})",
        R"({"cpu":"A","runs":1,"rows":1,"histogram":{"edges":[1,2],"counts":[1,1]}})",
        R"({"cpu":"A","runs":1,"rows":1,"histogram":{"edges":[2,1],"counts":[1]}})",
        R"({"cpu":"A","runs":1,"rows":1,"histogram":{"edges":[1,2],"counts":[-1]}})",
        R"({"cpu":"A","runs":1,"rows":1,"histogram":{"edges":0,"counts":[]}})",
        R"({"cpu":"A","runs":1,"rows":1,"median":1e12})",
    };
    for (const std::string& reply : impossible)
        EXPECT_THROW(standing_from_reply(reply), ImpossibleStandings) << reply;
    // Wrong JSON types and broken text fail with the library's own errors.
    for (const std::string& reply :
         {std::string(R"({"runs":1})"), std::string(R"({"cpu":1})"), std::string(R"({"cpu":"A","runs":"1"})"),
          std::string("{"), std::string(R"({"cpu":"A","histogram":[1]})")})
        EXPECT_THROW(standing_from_reply(reply), nlohmann::json::exception) << reply;

    std::string many_bars = R"({"cpu":"A","runs":41,"rows":1,"histogram":{"edges":[0)";
    for (int i = 1; i <= 41; ++i) many_bars += "," + std::to_string(i);
    many_bars += R"(],"counts":[1)";
    for (int i = 1; i < 41; ++i) many_bars += ",1";
    EXPECT_THROW(standing_from_reply(many_bars + "]}}"), ImpossibleStandings);
}

TEST(Standing, PathEncodesTheNameWhole) {
    EXPECT_EQ(standing_path(RunKind::Multi, "AMD EPYC 7B13", 1234),
              "/api.php?type=multi&cpu=AMD%20EPYC%207B13&score=1234");
    EXPECT_EQ(standing_path(RunKind::Single, "a&b=c#d%e+f/\xC3\xA9", std::nullopt),
              "/api.php?type=single&cpu=a%26b%3Dc%23d%25e%2Bf%2F%C3%A9");
    EXPECT_EQ(share_beaten_text(63), "63");
    EXPECT_EQ(share_beaten_text(62.96), "62.9");
    EXPECT_EQ(share_beaten_text(0.04), "0");
    EXPECT_EQ(share_beaten_text(99.95), "99.9");
}

}  // namespace vornmark
