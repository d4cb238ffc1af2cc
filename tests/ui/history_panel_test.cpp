#include "ui/history_panel.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>

#include <gtest/gtest.h>

#include <imgui_internal.h>

#include "history/history_store.h"
#include "tests/support/sample_records.h"
#include "tests/ui/gui_test_context.h"
#include "tests/ui/panel_test_app.h"
#include "ui/main_layout.h"

namespace {

const ImVec4 teal(0.0f, 0.831f, 0.667f, 1.0f);
const ImVec4 orange(1.0f, 0.42f, 0.208f, 1.0f);
const ImVec4 empty_grey(0.4f, 0.4f, 0.4f, 1.0f);

class HistoryPanelTest : public ::testing::Test {
protected:
    std::function<void()> panel() {
        return in_window(ImVec2(panel_width, 600.0f), [this] { draw_history_panel(*app); });
    }
    void draw() { gui.frame(panel()); }
    // Tables and tab bars lay themselves out in their first frame and show from the second.
    void settle() { gui.frames(2, panel()); }
    // The table's rows as drawn, top to bottom (a row's cells read back as one text run).
    std::vector<const TextRun*> rows() const {
        std::vector<const TextRun*> found;
        for (const TextRun& text : gui.texts())
            if (text.min.x < first_column_right && !text.text.empty() &&
                std::isdigit(static_cast<unsigned char>(text.text[0])))
                found.push_back(&text);
        std::sort(found.begin(), found.end(),
                  [](const TextRun* a, const TextRun* b) { return a->min.y < b->min.y; });
        return found;
    }
    std::vector<std::string> row_numbers() const {
        std::vector<std::string> numbers;
        for (const TextRun* row : rows()) numbers.push_back(row->text.substr(0, row->text.find(' ')));
        return numbers;
    }
    // The centre of the "X" button on the row whose number is `number`.
    std::optional<ImVec2> delete_button_of_row(const std::string& number) const {
        const TextRun* row = nullptr;
        for (const TextRun* candidate : rows())
            if (candidate->text.substr(0, candidate->text.find(' ')) == number) row = candidate;
        if (!row) return std::nullopt;
        // The button's "X" leads the date cell; it is read back as the start of a run on the row's line.
        for (const TextRun& text : gui.texts())
            if (!text.text.empty() && text.text[0] == 'X' && std::fabs(text.min.y - row->min.y) < 3.0f)
                return ImVec2((text.char_min[0].x + text.char_max[0].x) * 0.5f,
                              (text.char_min[0].y + text.char_max[0].y) * 0.5f);
        return std::nullopt;
    }

    static constexpr float first_column_right = 40.0f;
    float panel_width = 520.0f;
    TempDir dir;
    GuiTestContext gui;
    std::unique_ptr<AppState> app = make_test_app(dir, unreachable_endpoint(), "History CPU");
};

TEST_F(HistoryPanelTest, EmptyHistoryShowsNoResultsYet) {
    draw();
    EXPECT_TRUE(gui.has_text("RESULTS HISTORY"));
    const auto empty = gui.find_text("No results yet");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->color, packed(empty_grey));
}

TEST_F(HistoryPanelTest, RowsNewestFirstWithTypeScoreTimeAndCalendarDate) {
    app->history.append(sample_run("single", 1111, 108.04, "2024-05-01T10:00:00"));
    app->history.append(sample_run("multi", 3333, 36.0, "2024-05-02T11:30:00"));
    app->history.append(sample_run("weird", 5555, 21.66, "24-5-3"));
    settle();

    EXPECT_EQ(row_numbers(), (std::vector<std::string>{"3", "2", "1"})) << gui.all_text();
    EXPECT_TRUE(gui.has_text("108.0s"));
    EXPECT_TRUE(gui.has_text("36.0s"));
    EXPECT_TRUE(gui.has_text("21.7s"));
    EXPECT_TRUE(gui.has_text("2024-05-01"));
    EXPECT_FALSE(gui.has_text("T10:00")) << "only the calendar date is shown";
    EXPECT_TRUE(gui.has_text("24-5-3")) << "a short date is shown whole";

    int sc = 0;
    int mc = 0;
    for (const TextRun* row : rows()) {
        if (const std::size_t at = row->text.find(" SC "); at != std::string::npos) {
            ++sc;
            EXPECT_EQ(row->char_color[at + 1], packed(teal));
        }
        if (const std::size_t at = row->text.find(" MC "); at != std::string::npos) {
            ++mc;
            EXPECT_EQ(row->char_color[at + 1], packed(orange));
        }
    }
    EXPECT_EQ(sc, 1);
    EXPECT_EQ(mc, 2) << "a type other than \"single\" is labelled MC";
}

TEST_F(HistoryPanelTest, DeletingRowTwoRemovesTheMiddleEntryAndSaves) {
    app->history.append(sample_run("single", 1111, 10.0, "2024-05-01T10:00:00"));
    app->history.append(sample_run("multi", 3333, 10.0, "2024-05-02T10:00:00"));
    app->history.append(sample_run("single", 5555, 10.0, "2024-05-03T10:00:00"));
    settle();
    const auto x = delete_button_of_row("2");
    ASSERT_TRUE(x) << gui.all_text();
    gui.click(*x, panel());

    ASSERT_EQ(app->history.entries().size(), 2u);
    EXPECT_EQ(app->history.entries()[0].score, 1111);
    EXPECT_EQ(app->history.entries()[1].score, 5555);
    HistoryStore saved(app->history.path());
    saved.load();
    ASSERT_EQ(saved.entries().size(), 2u);
    EXPECT_EQ(saved.entries()[1].score, 5555);

    draw();
    EXPECT_EQ(row_numbers(), (std::vector<std::string>{"2", "1"}));
    EXPECT_FALSE(gui.has_text("3333"));
    EXPECT_TRUE(gui.has_text("5555"));
}

TEST_F(HistoryPanelTest, DeleteButtonStaysWithinTheNarrowRightColumn) {
    panel_width = 320.0f - 2.0f * 12.0f;  // the right column's content at scale 1
    app->history.append(sample_run("single", 1111, 1690.2, "2024-05-01T10:00:00"));
    app->history.append(sample_run("multi", 3333, 850.1, "2024-05-02T10:00:00"));
    settle();
    const auto x = delete_button_of_row("1");
    ASSERT_TRUE(x) << gui.all_text();
    EXPECT_LT(x->x, panel_width);
    gui.click(*x, panel());
    ASSERT_EQ(app->history.entries().size(), 1u);
    EXPECT_EQ(app->history.entries()[0].score, 3333);
}

// The whole window at its default 1600 x 900 with the shell's style, so the table gets exactly the
// right column's width; once with the test's body font and once with a font twice as large.
TEST_F(HistoryPanelTest, WholeDateIsReadableAndDeletableAtTheRealColumnWidth) {
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowPadding = ImVec2(12.0f, 12.0f);
    style.ItemSpacing = ImVec2(8.0f, 6.0f);
    const auto layout = [this] { draw_main_layout(*app); };
    for (ImFont* font : {gui.ui_font(), gui.large_font()}) {
        gui.io().FontDefault = font;
        app->history.append(sample_run("single", 1111, 1690.2, "2024-05-01T10:00:00"));
        gui.frames(3, layout);
        ImGuiWindow* right = GuiTestContext::find_window("##right");
        ASSERT_TRUE(right);
        const float right_edge = right->Pos.x + right->Size.x;

        // Scrolled sideways as far as it goes, as a user does with the wheel over the table.
        ImGuiWindow* table = GuiTestContext::find_window("##history");
        ASSERT_TRUE(table);
        gui.move_mouse(ImVec2(table->Pos.x + table->Size.x * 0.5f, table->Pos.y + table->Size.y * 0.5f));
        for (int i = 0; i < 3; ++i) {
            gui.io().MouseWheelH = -10.0f;
            gui.frame(layout);
        }
        gui.frame(layout);
        const auto date = gui.find_text("2024-05-01");
        ASSERT_TRUE(date) << gui.all_text();
        EXPECT_LE(date->max.x, right_edge) << "all ten characters inside the column";

        const TextRun* line = nullptr;
        for (const TextRun& text : gui.texts())
            if (text.text.find("2024-05-01") != std::string::npos) line = &text;
        ASSERT_TRUE(line);
        const std::size_t x = line->text.rfind('X', line->text.find("2024-05-01"));
        ASSERT_NE(x, std::string::npos) << line->text;
        gui.click(ImVec2((line->char_min[x].x + line->char_max[x].x) * 0.5f,
                         (line->char_min[x].y + line->char_max[x].y) * 0.5f),
                  layout);
        EXPECT_TRUE(app->history.entries().empty()) << "the delete button is reachable";
    }
    gui.io().FontDefault = nullptr;
}

TEST_F(HistoryPanelTest, DeletingTheLastEntryShowsNoResultsYet) {
    app->history.append(sample_run("single", 1111, 10.0, "2024-05-01T10:00:00"));
    settle();
    const auto x = delete_button_of_row("1");
    ASSERT_TRUE(x) << gui.all_text();
    gui.click(*x, panel());
    EXPECT_TRUE(app->history.entries().empty());
    draw();
    EXPECT_TRUE(gui.has_text("No results yet"));
}

}  // namespace
