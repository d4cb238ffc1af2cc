#include "base/run_kind.h"

#include <gtest/gtest.h>

namespace vornmark {

TEST(RunKind, OnlyExactlyOneThreadIsSingle) {
    EXPECT_EQ(run_kind_for(1), RunKind::Single);
    EXPECT_EQ(run_kind_for(2), RunKind::Multi);
    EXPECT_EQ(run_kind_for(64), RunKind::Multi);
}

TEST(RunKind, TextRoundTripsAndAnyOtherTextNamesNoKind) {
    for (const RunKind kind : {RunKind::Single, RunKind::Multi})
        EXPECT_EQ(parse_run_kind(run_kind_text(kind)), kind);
    EXPECT_EQ(run_kind_text(RunKind::Single), "single");
    EXPECT_EQ(run_kind_text(RunKind::Multi), "multi");
    for (const char* other : {"", "Single", "MULTI", "single ", "multi-core", "quad"})
        EXPECT_FALSE(parse_run_kind(other).has_value()) << other;
}

}  // namespace vornmark
