#include "ui/history_panel.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include <gtest/gtest.h>

#include <imgui_internal.h>

#include "history/history_store.h"
#include "tests/support/sample_records.h"
#include "tests/ui/gui_test_context.h"
#include "tests/ui/palette.h"
#include "tests/ui/panel_test_app.h"
#include "ui/main_layout.h"

namespace vornmark {

namespace {

void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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
    EXPECT_EQ(empty->color, packed(palette::muted_grey));
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
            EXPECT_EQ(row->char_color[at + 1], packed(palette::teal));
        }
        if (const std::size_t at = row->text.find(" MC "); at != std::string::npos) {
            ++mc;
            EXPECT_EQ(row->char_color[at + 1], packed(palette::orange));
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
    // One click deletes: the pointer on the button says so first, and nothing else.
    EXPECT_FALSE(gui.has_text("Delete this run"));
    gui.move_mouse(*x);
    gui.frames(2, panel());
    EXPECT_TRUE(gui.has_text("Delete this run")) << gui.all_text();
    EXPECT_EQ(app->history.entries().size(), 3u);
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

// A file the window cannot change or read: the panel says why in the runner's words, names the copy
// of an unreadable file, and shows only what the file holds.
TEST_F(HistoryPanelTest, FileProblemsAreNamedAndTheRowsAreWhatTheFileHolds) {
    struct Case {
        const char* name;
        const char* file_text;
        bool read_only;
        bool click_delete;
        const char* notice;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {"delete not written",
         R"({"runs":[{"type":"single","score":11,"date":"2024-05-01"}]})",
         true,
         true,
         "History: the run could not be deleted",
         {"1"}},
        {"unreadable file", "{not json", false, false, "The history file could not be read", {}},
    };
    for (const Case& c : cases) {
        TempDir case_dir;
        write_file(case_dir.file("history.json"), c.file_text);
        if (c.read_only)
            std::filesystem::permissions(case_dir.file("history.json"), std::filesystem::perms::owner_read);
        app = make_test_app(case_dir, unreachable_endpoint(), "History CPU");
        app->history.load();
        settle();
        if (c.click_delete) {
            const auto x = delete_button_of_row("1");
            ASSERT_TRUE(x) << gui.all_text();
            gui.click(*x, panel());
        }
        draw();
        const auto notice = gui.find_text(c.notice);
        ASSERT_TRUE(notice) << c.name << "\n" << gui.all_text();
        EXPECT_EQ(notice->color, packed(ImVec4(0.8f, 0.2f, 0.2f, 1.0f)));
        EXPECT_EQ(row_numbers(), c.rows) << c.name;
        if (!c.read_only) {
            const std::string copy = app->history.last_load().kept_aside;
            ASSERT_FALSE(copy.empty());
            // A path too long for a line breaks between folders, so the copy's name stays whole.
            EXPECT_TRUE(gui.has_text(std::filesystem::path(copy).filename().string())) << gui.all_text();
        }
    }
}

// A run the file could not take is neither listed nor counted among the best, and the panel says so.
TEST_F(HistoryPanelTest, RunThatCouldNotBeSavedIsNotShownAsStored) {
    write_file(dir.file("history.json"), R"({"runs":[]})");
    std::filesystem::permissions(dir.file("history.json"), std::filesystem::perms::owner_read);
    app->history.load();
    const auto layout = window_frame(*app);
    gui.frames(2, layout);
    ASSERT_TRUE(gui.click_text("Single-Core", layout)) << gui.all_text();
    ASSERT_TRUE(frames_until(gui, layout, [&] { return app->shown_single_score > 0; }));
    gui.frames(2, layout);
    EXPECT_TRUE(gui.has_text("History: the run could not be saved")) << gui.all_text();
    EXPECT_TRUE(gui.has_text("and the run is not kept"));
    EXPECT_TRUE(gui.has_text("No results yet"));
    EXPECT_FALSE(gui.has_text("Best:"));
    EXPECT_EQ(read_file(dir.file("history.json")), R"({"runs":[]})");
    // Where the score shows, in the History notice's red.
    const auto mark = gui.find_text("not saved: see History");
    ASSERT_TRUE(mark) << gui.all_text();
    EXPECT_EQ(mark->color, packed(palette::error_red));
    const auto score = gui.find_text("SC:");
    ASSERT_TRUE(score);
    EXPECT_GT(mark->min.y, score->min.y) << "under the single-core score";

    // The next run that is stored takes the mark away.
    std::filesystem::permissions(dir.file("history.json"),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_TRUE(gui.click_text("Single-Core", layout)) << gui.all_text();
    ASSERT_TRUE(frames_until(gui, layout, [&] { return app->history.entries().size() == 1; }));
    gui.frames(2, layout);
    EXPECT_FALSE(gui.has_text("not saved")) << gui.all_text();
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

}  // namespace vornmark
