#include "ui/cpu_monitor.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/ui/gui_test_context.h"
#include "tests/ui/palette.h"
#include "tests/ui/panel_test_app.h"
#include "ui/cpu_panel.h"

namespace vornmark {

namespace {

// Replays recorded readings through the sampling step, one frame per call.
struct RecordedReadings {
    std::vector<SystemTimes> readings;
    std::size_t next = 0;
    int reads = 0;

    bool operator()(SystemTimes& out) {
        ++reads;
        if (next >= readings.size()) return false;
        out = readings[next++];
        return true;
    }
};

// A reading `busy` and `idle` ticks after `base`, split the way /proc/stat is folded.
SystemTimes after(const SystemTimes& base, std::uint64_t busy, std::uint64_t idle) {
    SystemTimes t = base;
    t.idle += idle;
    t.kernel += idle + busy / 2;
    t.user += busy - busy / 2;
    return t;
}

// Runs a recording: the baseline, then one reading per value of `percent`.
CpuMonitor record(const std::vector<int>& percent) {
    CpuMonitor m;
    SystemTimes t{1000, 3000, 2000};
    RecordedReadings source;
    source.readings.push_back(t);
    for (int p : percent) {
        t = after(t, static_cast<std::uint64_t>(p), static_cast<std::uint64_t>(100 - p));
        source.readings.push_back(t);
    }
    double now = 10.0;
    for (std::size_t i = 0; i < source.readings.size(); ++i, now += 0.5)
        cpu_monitor_sample(m, true, now, std::ref(source));
    return m;
}

}  // namespace

TEST(CpuMonitor, IdleGrowingBy20OfTotal100Gives80Percent) {
    CpuMonitor m;
    const SystemTimes base{500, 1500, 700};
    // kernel + user grow by 100 in total, idle by 20.
    const SystemTimes next{520, 1560, 740};
    cpu_monitor_sample(m, true, 1.0, [&](SystemTimes& out) {
        out = base;
        return true;
    });
    EXPECT_EQ(m.count, 0) << "the first reading is only the baseline";
    cpu_monitor_sample(m, true, 1.5, [&](SystemTimes& out) {
        out = next;
        return true;
    });
    ASSERT_EQ(m.sample_count, 1);
    EXPECT_DOUBLE_EQ(m.sum, 80.0);
    EXPECT_FLOAT_EQ(m.smoothed, 12.0f);  // 80 * 0.15
    EXPECT_EQ(m.count, 1);
}

TEST(CpuMonitor, SmoothingWeighsNewValueByFifteenPercent) {
    const CpuMonitor m = record({100, 100});
    ASSERT_EQ(m.count, 2);
    EXPECT_FLOAT_EQ(m.ring[0], 15.0f);
    EXPECT_FLOAT_EQ(m.ring[1], 27.75f);
    EXPECT_DOUBLE_EQ(cpu_monitor_average(m), 100.0);
}

TEST(CpuMonitor, RingKeepsTheLast300ValuesAndShowsTheSecondAsOldestAfter301) {
    std::vector<int> percent;
    for (int i = 0; i < 301; ++i) percent.push_back(i % 2 == 0 ? 100 : 0);
    const CpuMonitor m = record(percent);
    EXPECT_EQ(m.count, 300);
    EXPECT_EQ(m.sample_count, 301);
    EXPECT_EQ(m.write_index, 1);
    EXPECT_EQ(cpu_monitor_oldest_slot(m), 1);

    // The second smoothed value of the recording: 100 then 0 -> 15 * 0.85.
    EXPECT_FLOAT_EQ(m.ring[cpu_monitor_oldest_slot(m)], 12.75f);
    // The 301st value overwrote the first slot and is the newest.
    EXPECT_FLOAT_EQ(m.ring[0], m.smoothed);
}

TEST(CpuMonitor, OldestSlotIsTheFirstWhileTheRingIsNotFull) {
    const CpuMonitor m = record({50, 50, 50});
    EXPECT_EQ(m.count, 3);
    EXPECT_EQ(cpu_monitor_oldest_slot(m), 0);
}

TEST(CpuMonitor, ZeroTotalGivesZeroAndStillCountsTowardTheAverage) {
    CpuMonitor m;
    const SystemTimes t{100, 300, 200};
    const SystemTimes busy = after(t, 100, 0);
    RecordedReadings source{{t, busy, busy}};
    cpu_monitor_sample(m, true, 0.0, std::ref(source));
    cpu_monitor_sample(m, true, 0.5, std::ref(source));
    cpu_monitor_sample(m, true, 1.0, std::ref(source));  // nothing moved
    ASSERT_EQ(m.sample_count, 2);
    EXPECT_DOUBLE_EQ(cpu_monitor_average(m), 50.0);
    EXPECT_FLOAT_EQ(m.ring[1], 12.75f);
}

TEST(CpuMonitor, CountersSteppingBackwardsDoNotShowAsFullLoad) {
    CpuMonitor m;
    const SystemTimes t{1000, 3000, 2000};
    // iowait went back by 5 ticks and nothing else moved.
    const SystemTimes back{995, 2995, 2000};
    // Idle grew by more than the total (iowait dropped while idle rose).
    const SystemTimes odd{1030, 3010, 2000};
    RecordedReadings source{{t, back, odd}};
    cpu_monitor_sample(m, true, 0.0, std::ref(source));
    cpu_monitor_sample(m, true, 0.5, std::ref(source));
    cpu_monitor_sample(m, true, 1.0, std::ref(source));
    ASSERT_EQ(m.sample_count, 2);
    EXPECT_DOUBLE_EQ(m.sum, 0.0);
}

TEST(CpuMonitor, SamplesOnlyEveryHalfSecondAndOnlyWhileRunning) {
    CpuMonitor m;
    RecordedReadings source{{{0, 0, 0}, {10, 50, 50}, {20, 100, 100}}};
    cpu_monitor_sample(m, false, 0.0, std::ref(source));
    EXPECT_EQ(source.reads, 0) << "no sampling before a run";
    EXPECT_FALSE(m.active);

    cpu_monitor_sample(m, true, 5.0, std::ref(source));
    cpu_monitor_sample(m, true, 5.2, std::ref(source));
    cpu_monitor_sample(m, true, 5.49, std::ref(source));
    EXPECT_EQ(source.reads, 1);
    cpu_monitor_sample(m, true, 5.5, std::ref(source));
    EXPECT_EQ(source.reads, 2);
    EXPECT_EQ(m.count, 1);

    // The run ends: the values stay, sampling stops.
    cpu_monitor_sample(m, false, 9.0, std::ref(source));
    EXPECT_FALSE(m.active);
    EXPECT_EQ(m.count, 1);
    EXPECT_EQ(source.reads, 2);
}

TEST(CpuMonitor, NextRunStartsAFreshRecording) {
    CpuMonitor m = record({100, 100, 100});
    cpu_monitor_sample(m, false, 100.0, [](SystemTimes&) { return false; });
    ASSERT_EQ(m.count, 3);

    RecordedReadings source{{{0, 0, 0}}};
    cpu_monitor_sample(m, true, 101.0, std::ref(source));
    EXPECT_TRUE(m.active);
    EXPECT_EQ(m.count, 0);
    EXPECT_EQ(m.write_index, 0);
    EXPECT_EQ(m.sample_count, 0);
    EXPECT_FLOAT_EQ(m.smoothed, 0.0f);
    EXPECT_FLOAT_EQ(m.ring[0], 0.0f);
    EXPECT_FALSE(m.first_sample_pending) << "the new baseline was taken at once";
    EXPECT_EQ(source.reads, 1);
}

TEST(CpuMonitor, FailedReadingIsSkippedAndRetriedHalfASecondLaterAgainstTheOldBaseline) {
    CpuMonitor m;
    const SystemTimes base{100, 300, 200};
    bool fail = false;
    SystemTimes current = base;
    int reads = 0;
    auto source = [&](SystemTimes& out) {
        ++reads;
        if (fail) return false;
        out = current;
        return true;
    };
    cpu_monitor_sample(m, true, 0.0, source);
    fail = true;
    cpu_monitor_sample(m, true, 0.5, source);
    EXPECT_EQ(m.count, 0);
    cpu_monitor_sample(m, true, 0.9, source);
    EXPECT_EQ(reads, 2) << "the next attempt waits a whole interval";
    fail = false;
    current = after(base, 60, 40);
    cpu_monitor_sample(m, true, 1.0, source);
    ASSERT_EQ(m.sample_count, 1);
    EXPECT_NEAR(m.sum, 60.0, 1e-4);
}

TEST(ProcStat, ParsesTheAggregateLineWithGuestFieldsLeftOut) {
    const std::string text = "cpu  10132153 290696 3084719 46828483 16683 0 25195 7 175628 12\n"
                             "cpu0 1393280 32966 572056 13343292 6130 0 17875 0 23933 0\n"
                             "intr 199292\n";
    SystemTimes t;
    ASSERT_TRUE(parse_proc_stat(text, t));
    EXPECT_EQ(t.idle, 46828483u + 16683u);
    EXPECT_EQ(t.user, 10132153u + 290696u);
    EXPECT_EQ(t.kernel, 46828483u + 16683u + 3084719u + 0u + 25195u + 7u);
}

TEST(ProcStat, AcceptsShortLinesOfOldKernelsAndRejectsGarbage) {
    SystemTimes t;
    ASSERT_TRUE(parse_proc_stat("cpu 1 2 3 4\n", t));
    EXPECT_EQ(t.idle, 4u);
    EXPECT_EQ(t.kernel, 7u);
    EXPECT_EQ(t.user, 3u);

    EXPECT_FALSE(parse_proc_stat("", t));
    EXPECT_FALSE(parse_proc_stat("cpu0 1 2 3 4 5 6 7 8\n", t)) << "a per-CPU line is not the aggregate";
    EXPECT_FALSE(parse_proc_stat("cpu 1 2 3\n", t));
    EXPECT_FALSE(parse_proc_stat("cpu 1 2 x 4 5\n", t));
    EXPECT_FALSE(parse_proc_stat("cpu 1 2 3 -4 5\n", t));
    EXPECT_FALSE(parse_proc_stat("cpu 1 2 3 99999999999999999999999 5\n", t));
}

TEST(ProcStat, ReadsTheSystemFileAndFailsOnAMissingOne) {
    SystemTimes t;
    ASSERT_TRUE(read_system_times(t));
    EXPECT_GT(t.kernel + t.user, 0u);
    EXPECT_LE(t.idle, t.kernel);

    const auto missing = std::filesystem::temp_directory_path() / "vornmark-no-such-stat";
    EXPECT_FALSE(read_proc_stat_file(t, missing.string()));
}

namespace {

// The centre column's last panel with a recording already made and no run going.
class CpuPanelTest : public ::testing::Test {
protected:
    void SetUp() override { app = make_test_app(dir, unreachable_endpoint(), "CPU Panel CPU"); }
    void draw(ImVec2 size) {
        gui.frame(in_window(size, [&] {
            draw_cpu_panel(*app, gui.mono_font());
            GuiTestContext::last_item_rect(graph_min, graph_max);
            content_width = ImGui::GetWindowContentRegionMax().x - ImGui::GetWindowContentRegionMin().x;
        }));
    }

    TempDir dir;
    GuiTestContext gui;
    std::unique_ptr<AppState> app;
    ImVec2 graph_min;
    ImVec2 graph_max;
    float content_width = 0.0f;
};

TEST_F(CpuPanelTest, DrawsNothingBeforeTheFirstValue) {
    gui.frame(in_window(ImVec2(600.0f, 400.0f), [] {}));
    const int empty_window = ImGui::GetDrawData()->TotalVtxCount;
    draw(ImVec2(600.0f, 400.0f));
    EXPECT_EQ(gui.all_text(), "");
    EXPECT_EQ(ImGui::GetDrawData()->TotalVtxCount, empty_window) << "not even the graph's frame";
}

TEST_F(CpuPanelTest, AfterARunShowsTheAverageAndTheGraphFillingTheRest) {
    CpuMonitor& m = app->cpu_monitor;
    m.count = 2;
    m.write_index = 2;
    m.ring[0] = 15.0f;
    m.ring[1] = 27.75f;
    m.smoothed = 27.75f;
    m.sum = 130.0;
    m.sample_count = 2;
    draw(ImVec2(600.0f, 400.0f));

    const auto title = gui.find_text("CPU UTILIZATION");
    ASSERT_TRUE(title) << gui.all_text();
    EXPECT_EQ(title->color, packed(palette::teal));
    const auto average = gui.find_text("avg 65%");
    ASSERT_TRUE(average) << gui.all_text();
    EXPECT_EQ(average->color, packed(ImVec4(0.5f, 0.5f, 0.5f, 1.0f)));
    for (const char* label : {"25%", "50%", "75%", "100%"}) EXPECT_TRUE(gui.has_text(label)) << label;

    EXPECT_FLOAT_EQ(graph_max.x - graph_min.x, content_width - 8.0f);
    EXPECT_GT(graph_max.y - graph_min.y, 80.0f);
    EXPECT_LT(graph_max.y, 400.0f) << "the graph ends inside the window, 8 pixels above the content's end";
}

TEST_F(CpuPanelTest, GraphKeepsItsMinimumHeightInAShortArea) {
    app->cpu_monitor.count = 1;
    app->cpu_monitor.sample_count = 1;
    draw(ImVec2(600.0f, 60.0f));
    EXPECT_FLOAT_EQ(graph_max.y - graph_min.y, 80.0f);
}

}  // namespace

}  // namespace vornmark
