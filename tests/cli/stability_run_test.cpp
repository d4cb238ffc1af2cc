#include "cli/stability_run.h"

#include <gtest/gtest.h>

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
