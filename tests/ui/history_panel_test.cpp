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
        // The button's "X" follows the date; it is read back as a run of its own on the row's line.
        for (const TextRun& text : gui.texts())
            if (text.text == "X" && std::fabs(text.min.y - row->min.y) < 3.0f && text.min.x > row->max.x)
                return ImVec2((text.min.x + text.max.x) * 0.5f, (text.min.y + text.max.y) * 0.5f);
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
