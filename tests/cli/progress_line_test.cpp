#include "cli/progress_line.h"

#include <gtest/gtest.h>

TEST(ProgressText, ShowsDoneOfTotalPercentElapsedAndTimeLeft) {
    EXPECT_EQ(progress_text(510, 2040, 30.0, TimeLeft{90.0, false}),
              "510/2040 tiles   25.0%  elapsed 30.0 s  1:30 left");
    EXPECT_EQ(progress_text(510, 2040, 30.0, TimeLeft{4000.0, true}),
              "510/2040 tiles   25.0%  elapsed 30.0 s  about 1:06:40 left");
    EXPECT_EQ(progress_text(0, 2040, 1.5, std::nullopt), "0/2040 tiles    0.0%  elapsed 1.5 s  left --");
}
