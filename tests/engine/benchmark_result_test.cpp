#include "engine/benchmark_result.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

#include "engine/benchmark_config.h"
#include "tests/support/environment.h"

namespace vornmark {

TEST(ElapsedSeconds, MultipliesNanosecondsByOneBillionth) {
    // A division by 1e9 would give 12.345678901 exactly; the multiplication does not.
    EXPECT_EQ(elapsed_seconds(12345678901), 12.345678901000001);
    EXPECT_EQ(elapsed_seconds(0), 0.0);
}

TEST(ScoreForTime, Truncates120000DividedBySeconds) {
    EXPECT_EQ(score_for_time(elapsed_seconds(12345678901)), 9720);
    EXPECT_EQ(score_for_time(120.0), 1000);
    EXPECT_EQ(score_for_time(37.5), 3200);
    EXPECT_EQ(score_for_time(7.0), 17142);
}

TEST(ScoreForTime, RunLongerThan120000SecondsScoresZero) {
    EXPECT_EQ(score_for_time(120001.0), 0);
    EXPECT_EQ(score_for_time(120000.0), 1);
}

TEST(ScoreForTime, TinyOrNonPositiveTimesSaturate) {
    constexpr std::int32_t max = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(score_for_time(elapsed_seconds(1)), max);
    EXPECT_EQ(score_for_time(120000.0 / 2147483647.0), max);
    EXPECT_EQ(score_for_time(0.0), max);
    EXPECT_EQ(score_for_time(-1.0), max);
    EXPECT_EQ(score_for_time(std::numeric_limits<double>::quiet_NaN()), max);
    EXPECT_LT(score_for_time(120000.0 / 2147483000.0), max);
}

TEST(Presets, ShareEverySettingButThreads) {
    const BenchmarkConfig single = single_core_preset();
    EXPECT_EQ(single.samples, 128);
    EXPECT_EQ(single.max_depth, 50);
    EXPECT_EQ(single.tile_size, 32);
    EXPECT_EQ(single.threads, 1);
    EXPECT_EQ(single.width, 1920);
    EXPECT_EQ(single.height, 1080);
    const BenchmarkConfig multi = multi_core_preset();
    EXPECT_EQ(multi.threads, static_cast<std::int32_t>(std::thread::hardware_concurrency()));
    EXPECT_EQ(multi.samples, 128);
    EXPECT_EQ(multi.width, 1920);
}

TEST(FormatLocalDate, IsNineteenCharactersInIsoShape) {
    const std::string date = format_local_date(1776498053);  // 2026-04-18 07:40:53 UTC
    ASSERT_EQ(date.size(), 19u);
    for (std::size_t i = 0; i < date.size(); ++i) {
        const char c = date[i];
        if (i == 4 || i == 7)
            EXPECT_EQ(c, '-');
        else if (i == 10)
            EXPECT_EQ(c, 'T');
        else if (i == 13 || i == 16)
            EXPECT_EQ(c, ':');
        else
            EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c))) << date;
    }
}

TEST(FormatLocalDate, UsesTheLocalTimeZone) {
    // Whole-hour zones, so the expected text does not depend on the machine.
    const std::optional<std::string> saved = environment_variable("TZ");
    set_environment_variable("TZ", "UTC");
    tzset();
    EXPECT_EQ(format_local_date(1776498053), "2026-04-18T07:40:53");
    set_environment_variable("TZ", "UTC-2");  // POSIX sign: two hours east of UTC
    tzset();
    EXPECT_EQ(format_local_date(1776498053), "2026-04-18T09:40:53");
    set_environment_variable("TZ", saved);
    tzset();
}

}  // namespace vornmark
