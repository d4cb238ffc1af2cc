#include "cli/stability_run.h"

#include <gtest/gtest.h>

namespace vornmark::cli {

// The summary compares a first and a last minute only when the test lasted one.
TEST(StabilityText, ThroughputIsWordedByTheTestsRealLength) {
    struct Case {
        double seconds;
        const char* line;
    };
    const Case cases[] = {
        {12.0, "Throughput: 5.00 tiles/s over the whole 12.0 s\n"},
        {59.9, "Throughput: 5.00 tiles/s over the whole 59.9 s\n"},
        {90.0, "Throughput: first minute 5.00 tiles/s, last minute 4.00 tiles/s (-20.0%)\n"},
    };
    for (const Case& c : cases) {
        StabilityReport report;
        report.seconds = c.seconds;
        const std::string text = stability_text(report, 5.0, c.seconds < 60.0 ? 5.0 : 4.0);
        EXPECT_NE(text.find(c.line), std::string::npos) << text;
    }
}

TEST(StabilityText, SustainedSpeedWeighsTheWorkAndNamesBothClocks) {
    StabilityReport report;
    report.seconds = 600.0;
    report.work_weighted = true;
    const SustainedSpeed speed{10.0, 9.4, 3400.0, 3210.0};
    EXPECT_EQ(sustained_text(report, speed), "sustained: 94 % of the first minute's speed (clock 3.40 GHz in "
                                             "the first minute, 3.21 GHz in the last)");
    EXPECT_NE(stability_text(report, 5.0, 4.0, speed).find(sustained_text(report, speed)), std::string::npos);
    report.work_weighted = false;
    EXPECT_EQ(sustained_text(report, {10.0, 9.4, std::nullopt, std::nullopt}),
              "sustained: 94 % of the first minute's speed (clock not available; tiles counted alike: no "
              "work table "
              "for this image)");
    report.seconds = 59.0;
    EXPECT_EQ(sustained_text(report, speed), "") << "no first minute to compare with";
}

}  // namespace vornmark::cli
