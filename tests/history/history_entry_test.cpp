#include "history/history_entry.h"

#include <gtest/gtest.h>

#include "engine/benchmark_result.h"

TEST(HistoryEntryFromResult, TakesTheRunAndFixedImageSettings) {
    BenchmarkResult result;
    result.type = "multi";
    result.score = 3200;
    result.time_seconds = 37.5;
    result.threads = 16;
    result.date = "2026-04-18T07:40:53";
    const HistoryEntry entry = history_entry_from_result(result, "AMD Ryzen 7 5700G with Radeon Graphics");
    EXPECT_EQ(entry.date, "2026-04-18T07:40:53");
    EXPECT_EQ(entry.cpu, "AMD Ryzen 7 5700G with Radeon Graphics");
    EXPECT_EQ(entry.type, "multi");
    EXPECT_EQ(entry.score, 3200);
    EXPECT_EQ(entry.time_seconds, 37.5);
    EXPECT_EQ(entry.threads, 16);
    EXPECT_EQ(entry.resolution_w, 1920);
    EXPECT_EQ(entry.resolution_h, 1080);
    EXPECT_EQ(entry.samples, 128);
}
