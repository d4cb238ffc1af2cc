#include "ui/leaderboard_panel.h"

#include <cmath>
#include <mutex>

#include <gtest/gtest.h>
#include <imgui_internal.h>

#include "tests/support/wait_until.h"
#include "tests/ui/gui_test_context.h"
#include "tests/ui/palette.h"
#include "tests/ui/panel_test_app.h"
#include "ui/leaderboard_status.h"

namespace vornmark {

namespace {

bool same_colour(const ImVec4& a, const ImVec4& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}

// "Loading..." while anything is in flight, else the newest outcome: a submission's status (red when
// it failed), a failed fetch's message (dim red), or nothing after a fetch that worked.
TEST(LeaderboardStatusLine, LoadingElseTheNewestOutcome) {
    using enum RequestOutcome;
    struct Case {
        std::int32_t pending;
        LatestOutcome latest;
        const char* shown;  // null: nothing drawn
        ImVec4 colour;
    };
    const Case cases[] = {
        {3, {SubmitFailed, "Submit error: HTTP 500"}, "Loading...", palette::teal},
        {0,
         {SubmitFailed, "Submit error: Server rejected: {}"},
         "Submit error: Server rejected: {}",
         palette::error_red},
        {0, {Submitting, "Submitting..."}, "Submitting...", palette::label_grey},
        {0, {Submitted, "Submitted OK (single 4321)"}, "Submitted OK (single 4321)", palette::label_grey},
        {0, {FetchFailed, "HTTP 503 (host:443)"}, "HTTP 503 (host:443)", palette::dim_error_red},
        {0, {Fetched, ""}, nullptr, {}},
        {0, {}, nullptr, {}},
    };
    for (const Case& c : cases) {
        const LeaderboardStatusLine line = leaderboard_status_line(c.pending, c.latest);
        EXPECT_EQ(line.shown, c.shown != nullptr) << c.latest.text;
        if (!c.shown) continue;
        EXPECT_EQ(line.text, c.shown);
        EXPECT_TRUE(same_colour(line.colour, c.colour)) << c.latest.text;
    }
}

class LeaderboardPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        const HttpEndpoint* server = test_leaderboard_endpoint();
        endpoint = server ? *server : unreachable_endpoint();
        have_server = server != nullptr;
        app = make_test_app(dir, endpoint, "Own Test CPU 9000");
    }
    std::function<void()> panel() {
        return in_window(ImVec2(320.0f, 500.0f), [this] { draw_leaderboard_panel(*app); });
    }
    void draw() { gui.frame(panel()); }
    // Tables and tab bars lay themselves out in their first frame and show from the second.
    void settle() { gui.frames(2, panel()); }
    void set_standings(std::vector<LeaderboardEntry> single, std::vector<LeaderboardEntry> multi) {
        app->leaderboard_client.set_results_for_testing(
            {.single_standings = std::move(single), .multi_standings = std::move(multi)});
    }
    // Filled rectangles of this colour in the last frame.
    static int filled_with(ImU32 colour) {
        int n = 0;
        const ImDrawData* data = ImGui::GetDrawData();
        for (int l = 0; l < data->CmdListsCount; ++l) {
            const ImDrawList* list = data->CmdLists[l];
            for (int v = 0; v < list->VtxBuffer.Size; ++v)
                n += list->VtxBuffer[v].col == colour &&
                     list->VtxBuffer[v].uv.x == ImGui::GetIO().Fonts->TexUvWhitePixel.x;
        }
        return n;
    }

    TempDir dir;
    HttpEndpoint endpoint;
    bool have_server = false;
    GuiTestContext gui;
    std::unique_ptr<AppState> app;
};

TEST_F(LeaderboardPanelTest, EmptyStandingsShowNoDataYetAndNoStatus) {
    settle();
    ASSERT_TRUE(gui.has_text("Refresh")) << gui.all_text();
    EXPECT_TRUE(gui.has_text("Single-Core"));
    EXPECT_TRUE(gui.has_text("Multi-Core"));
    const auto empty = gui.find_text("No data yet");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->color, packed(palette::muted_grey));
    EXPECT_FALSE(gui.has_text("Loading..."));
}

TEST_F(LeaderboardPanelTest, OwnProcessorRowIsTintedAndItsNameTeal) {
    set_standings({{"Other CPU", 5000, 3}, {"Own Test CPU 9000", 4000, 2}, {"own test cpu 9000", 3000, 1}},
                  {{"Multi Only CPU", 20000, 7}});
    settle();
    const auto own = gui.find_text("Own Test CPU 9000");
    ASSERT_TRUE(own) << gui.all_text();
    EXPECT_EQ(own->color, packed(palette::teal));
    const auto lower = gui.find_text("own test cpu 9000");
    ASSERT_TRUE(lower);
    EXPECT_NE(lower->color, packed(palette::teal)) << "letter case matters";
    const auto other = gui.find_text("Other CPU");
    ASSERT_TRUE(other);
    EXPECT_LT(other->min.y, own->min.y) << "rows keep the server's order";
    EXPECT_EQ(filled_with(IM_COL32(0, 212, 170, 32)), 4) << "one tinted row: one quad";

    // The other inner tab shows the other list.
    ASSERT_TRUE(gui.click_text("Multi-Core", panel()));
    draw();
    EXPECT_TRUE(gui.has_text("Multi Only CPU"));
    EXPECT_FALSE(gui.has_text("Other CPU"));
    EXPECT_EQ(filled_with(IM_COL32(0, 212, 170, 32)), 0);
}

TEST_F(LeaderboardPanelTest, StatusLineShowsTheNewestOutcome) {
    app->leaderboard_client.set_results_for_testing({.fetch_error = "HTTP 503"});
    settle();
    auto shown = gui.find_text("HTTP 503");
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->color, packed(palette::dim_error_red));
    const auto refresh = gui.find_text("Refresh");
    ASSERT_TRUE(refresh);
    EXPECT_LT(std::fabs(refresh->center().y - shown->center().y), 3.0f) << "Refresh sits on the status line";

    app->leaderboard_client.set_results_for_testing(
        {.fetch_error = "HTTP 503", .submission = {RequestOutcome::SubmitFailed, "Submit error: HTTP 500"}});
    draw();
    EXPECT_FALSE(gui.has_text("HTTP 503"));
    shown = gui.find_text("Submit error: HTTP 500");
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->color, packed(palette::error_red));
}

// A long message wraps at blanks in the room left of Refresh; no line runs under the button.
TEST_F(LeaderboardPanelTest, LongErrorWrapsBesideRefresh) {
    const std::string error =
        "Submit error: HttpSendRequest failed: certificate not trusted (leaderboard.example.org:8443)";
    app->leaderboard_client.set_results_for_testing({.submission = {RequestOutcome::SubmitFailed, error}});
    settle();
    const auto refresh = gui.find_text("Refresh");
    ASSERT_TRUE(refresh);
    int lines = 0;
    for (const TextRun& run : gui.texts()) {
        if (run.color != packed(palette::error_red)) continue;
        ++lines;
        EXPECT_LT(run.max.x, refresh->min.x) << run.text;
    }
    EXPECT_GT(lines, 1) << gui.all_text();
    EXPECT_TRUE(gui.has_text("(leaderboard.example.org:8443)")) << "the address stays whole";
}

// Each run type's tab says what its own last fetch left: its error, an empty board, or nothing yet.
TEST_F(LeaderboardPanelTest, EachTabSaysWhatItsFetchLeft) {
    struct Case {
        bool received;
        const char* error;
        const char* kept_row;  // a row from an earlier fetch, or none
        const char* shown;
        const char* not_shown;
    };
    const Case cases[] = {
        {true, "", nullptr, "No runs yet", "No data yet"},
        {false, "", nullptr, "No data yet", "No runs yet"},
        {false, "HttpSendRequest failed: connection refused (127.0.0.1:1)", nullptr, "connection refused",
         "No data yet"},
        {true, "HTTP 502 (127.0.0.1:1)", "Kept CPU", "HTTP 502", "No runs yet"},
    };
    for (const Case& c : cases) {
        std::vector<LeaderboardEntry> rows;
        if (c.kept_row) rows.push_back({c.kept_row, 10, 1});
        app->leaderboard_client.set_results_for_testing(
            {.single_standings = rows, .single_fetch = {c.received, c.error}});
        settle();
        EXPECT_TRUE(gui.has_text(c.shown)) << gui.all_text();
        EXPECT_FALSE(gui.has_text(c.not_shown)) << gui.all_text();
        if (c.kept_row) {
            EXPECT_TRUE(gui.has_text(c.kept_row)) << "rows kept under the error";
        }
    }
}

TEST_F(LeaderboardPanelTest, RefreshFetchesBothStandingsFromTheServer) {
    if (have_server) {
        http_post_json(endpoint, "/api.php",
                       R"({"cpu_name":"Refresh CPU","score":1500,"threads":1,"type":"single"})");
        http_post_json(endpoint, "/api.php",
                       R"({"cpu_name":"Refresh CPU","score":2500,"threads":2,"type":"multi"})");
        // A loaded server may answer from its standings of up to a second ago.
        for (const char* type : {"single", "multi"}) {
            ASSERT_TRUE(wait_until([&] {
                for (const ServerRow& row : server_standings(endpoint, type))
                    if (row.cpu == "Refresh CPU") return true;
                return false;
            }));
        }
    }
    settle();
    ASSERT_TRUE(gui.click_text("Refresh", panel()));
    EXPECT_EQ(app->leaderboard_client.task_count() > 0, true);
    draw();
    ASSERT_TRUE(wait_for_leaderboard(app->leaderboard_client));
    draw();
    if (!have_server) {
        EXPECT_TRUE(gui.has_text("connection refused")) << gui.all_text();
        return;
    }
    EXPECT_EQ(app->leaderboard_client.latest_outcome().text, "");
    EXPECT_TRUE(gui.has_text("Refresh CPU")) << gui.all_text();
    EXPECT_TRUE(gui.has_text("1500"));
    ASSERT_TRUE(gui.click_text("Multi-Core", panel()));
    draw();
    EXPECT_TRUE(gui.has_text("2500"));
}

TEST_F(LeaderboardPanelTest, SettingLineNamesTheServerOrWhyThereIsNone) {
    const LeaderboardSetting chosen = choose_leaderboard_setting(
        {flag_source({"https://127.0.0.1:" + std::to_string(endpoint.port), std::nullopt})});
    app = std::make_unique<AppState>(chosen, dir.file("history.json"));
    settle();
    const auto server = gui.find_text("Server: https://127.0.0.1:" + std::to_string(endpoint.port));
    ASSERT_TRUE(server) << gui.all_text();
    EXPECT_EQ(server->color, packed(palette::label_grey));
    EXPECT_NE(gui.all_text().find("--leaderboard-url"), std::string::npos) << "where the setting came from";

    // A refused setting: the reason, in red, is all the panel says; nothing is loaded.
    const LeaderboardSetting refused =
        choose_leaderboard_setting({flag_source({"http://127.0.0.1:1", std::nullopt})});
    ASSERT_TRUE(refused.refused());
    app = std::make_unique<AppState>(refused, dir.file("history.json"));
    app->leaderboard_client.fetch_standings(RunKind::Single);
    settle();
    const auto reason = gui.find_text("--leaderboard-url 'http://127.0.0.1:1'");
    ASSERT_TRUE(reason) << gui.all_text();
    EXPECT_EQ(reason->color, packed(palette::error_red));
    EXPECT_EQ(app->leaderboard_client.task_count(), 0u);
    EXPECT_FALSE(gui.has_text("Refresh"));
    EXPECT_FALSE(gui.has_text("No data yet"));
}

// No leaderboard set is a state of its own: said in grey with how to set one, nothing to refresh,
// no standings, and a finished run submits nothing.
TEST_F(LeaderboardPanelTest, NoLeaderboardSetSaysSoInGreyAndHowToSetOne) {
    app = std::make_unique<AppState>(LeaderboardSetting{}, dir.file("history.json"));
    app->leaderboard_client.submit_result("Own Test CPU 9000", RunKind::Single, 100, 1);
    settle();
    const auto state = gui.find_text("No leaderboard set");
    ASSERT_TRUE(state) << gui.all_text();
    EXPECT_EQ(state->color, packed(palette::label_grey));
    const std::string text = gui.all_text();
    EXPECT_NE(text.find("leaderboard_url"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Pointing"), std::string::npos) << "the README section" << text;
    for (const TextRun& run : gui.texts()) EXPECT_EQ(run.color, packed(palette::label_grey)) << run.text;
    EXPECT_FALSE(gui.has_text("Refresh"));
    EXPECT_FALSE(gui.has_text("Single-Core"));
    EXPECT_EQ(app->leaderboard_client.task_count(), 0u);
}

// A server that cannot be reached fails both fetches with the same message: it is said once, on the
// status line, and a failed submission to it does not repeat it under the tab either.
TEST_F(LeaderboardPanelTest, OneFailureIsOneErrorLine) {
    const std::string error = "HttpSendRequest failed: connection refused (127.0.0.1:1)";
    const auto lines_saying = [&](const char* part) {
        int n = 0;
        for (const TextRun& run : gui.texts()) n += run.text.find(part) != std::string::npos ? 1 : 0;
        return n;
    };
    app->leaderboard_client.set_results_for_testing(
        {.single_fetch = {false, error}, .multi_fetch = {false, error}, .fetch_error = error});
    settle();
    EXPECT_EQ(lines_saying("(127.0.0.1:1)"), 1) << gui.all_text();
    EXPECT_EQ(gui.find_text("(127.0.0.1:1)")->color, packed(palette::dim_error_red));
    EXPECT_TRUE(gui.has_text("No data yet")) << gui.all_text();

    app->leaderboard_client.set_results_for_testing(
        {.single_fetch = {false, error},
         .fetch_error = error,
         .submission = {RequestOutcome::SubmitFailed, "Submit error: " + error}});
    settle();
    EXPECT_EQ(lines_saying("(127.0.0.1:1)"), 1) << gui.all_text();
    EXPECT_EQ(gui.find_text("Submit error:")->color, packed(palette::error_red));
}

}  // namespace

}  // namespace vornmark
