#include "cli/progress_line.h"

#include <gtest/gtest.h>

TEST(ProgressText, ShowsDoneOfTotalPercentElapsedAndTimeLeft) {
    EXPECT_EQ(progress_text(510, 2040, 30.0), "510/2040 tiles   25.0%  elapsed 30.0 s  left 90 s");
}

TEST(ProgressText, NoEstimateBeforeTheFirstTileOrWithoutTiles) {
    EXPECT_EQ(progress_text(0, 2040, 1.5), "0/2040 tiles    0.0%  elapsed 1.5 s  left --");
    EXPECT_EQ(progress_text(0, 0, 0.0), "0/0 tiles    0.0%  elapsed 0.0 s  left --");
}
