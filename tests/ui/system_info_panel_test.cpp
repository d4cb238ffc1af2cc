#include "ui/system_info_panel.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/sample_records.h"
#include "tests/ui/gui_test_context.h"
#include "tests/ui/panel_test_app.h"
#include "ui/app_state.h"

namespace vornmark {

namespace {

class SystemInfoPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = make_test_app(dir, unreachable_endpoint(), "");
        app->sysinfo = sample_machine();
    }
    void draw(float width = 280.0f) {
        gui.window_frame(ImVec2(width, 600.0f), [&] { draw_system_info_panel(*app, gui.mono_font()); });
    }
    // x where every value starts: the window's left edge plus six body-font heights.
    static float value_x() { return 13.0f * 6.0f; }

    GuiTestContext gui;
    TempDir dir;
    std::unique_ptr<AppState> app;
};

TEST_F(SystemInfoPanelTest, ShowsEveryRowWithGreyLabelsAndAlignedValues) {
    draw();
    const auto title = gui.find_text("SYSTEM INFO");
    ASSERT_TRUE(title) << gui.all_text();
    EXPECT_EQ(title->color, IM_COL32(0, 212, 170, 255));

    const std::pair<const char*, const char*> rows[] = {
        {"CPU", "Example 8-Core Processor"},
        {"Cores", "8C / 16T"},
        {"Freq", "3.60 GHz"},
        {"L1", "48 KB"},
        {"L2", "1 MB"},
        {"L3", "32 MB"},
        {"GPU", "Example Graphics"},
        {"VRAM", "8192 MB"},
        {"RAM", "32768 MB"},
        {"OS", "Debian GNU/Linux 12"},
        {"PC", "bench-pc"},
    };
    float previous_y = title->max.y;
    for (const auto& [label, value] : rows) {
        // Labels and values are separate texts on one line; search each on its own.
        const auto value_hit = gui.find_text(value);
        ASSERT_TRUE(value_hit) << value << "\n" << gui.all_text();
        EXPECT_NEAR(value_hit->min.x, value_x(), 2.0f) << value;
        EXPECT_EQ(value_hit->color, ImGui::GetColorU32(ImGuiCol_Text)) << value;
        EXPECT_GT(value_hit->min.y, previous_y) << value;
        previous_y = value_hit->min.y;

        bool label_found = false;
        for (const TextRun& run : gui.texts()) {
            if (run.text.rfind(label, 0) == 0 && run.min.x < value_x() - 10.0f &&
                std::abs(run.min.y - value_hit->min.y) < 6.0f) {
                EXPECT_EQ(run.color, IM_COL32(128, 128, 128, 255)) << label;
                label_found = true;
            }
        }
        EXPECT_TRUE(label_found) << label << "\n" << gui.all_text();
    }
}

TEST_F(SystemInfoPanelTest, ValuesUseTheMonospacedFontLabelsTheBodyFont) {
    draw();
    const auto value = gui.find_text("bench-pc");
    ASSERT_TRUE(value);
    // 15 px monospaced values against 13 px body text: "b" is taller in the former.
    const auto label = gui.find_text("PC");
    ASSERT_TRUE(label);
    EXPECT_GT(value->max.y - value->min.y, label->max.y - label->min.y);
}

TEST_F(SystemInfoPanelTest, VersionNumbersStayWholeWhenALineWraps) {
    app->sysinfo.os_version = "Debian GNU/Linux 12 (bookworm) (Kernel 6.18.44-fc-v1300)";
    draw();
    EXPECT_TRUE(gui.has_text("6.18.44-fc-v1300")) << gui.all_text();
}

TEST_F(SystemInfoPanelTest, LongNameWrapsAndContinuesAtTheValueColumn) {
    app->sysinfo.cpu_name = "Example Processor With A Very Long Marketing Name That Needs Two Lines";
    draw();
    const auto first = gui.find_text("Example Processor");
    const auto last = gui.find_text("Two Lines");
    ASSERT_TRUE(first) << gui.all_text();
    ASSERT_TRUE(last) << gui.all_text();
    EXPECT_GT(last->min.y, first->max.y);
    EXPECT_NEAR(first->min.x, value_x(), 2.0f);
    // Every line of the value starts at the value column and stays in the panel.
    for (const TextRun& run : gui.texts()) {
        if (run.text != "CPU" && run.min.y >= first->min.y && run.max.y <= last->max.y + 1.0f) {
            EXPECT_GE(run.min.x, value_x() - 2.0f) << run.text;
            EXPECT_LE(run.max.x, 280.0f) << run.text;
        }
    }
}

TEST_F(SystemInfoPanelTest, NoAdapterFoundReadsNotAvailable) {
    app->sysinfo.gpu_name.clear();
    app->sysinfo.vram_mb = 0;
    draw();
    EXPECT_FALSE(gui.has_text("Example Graphics"));
    EXPECT_FALSE(gui.has_text("0 MB"));
    int not_available = 0;
    for (const TextRun& run : gui.texts()) not_available += run.text == "N/A";
    EXPECT_EQ(not_available, 2) << gui.all_text();
}

TEST_F(SystemInfoPanelTest, WithoutAMonospacedFontValuesUseTheCurrentFont) {
    gui.window_frame(ImVec2(280.0f, 600.0f), [&] { draw_system_info_panel(*app, nullptr); });
    const auto value = gui.find_text("8C / 16T");
    ASSERT_TRUE(value) << gui.all_text();
    EXPECT_NEAR(value->min.x, value_x(), 2.0f);
}

}  // namespace

}  // namespace vornmark
