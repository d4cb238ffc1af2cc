#include "ui/leaderboard_page_link.h"

#include <fstream>

#include <gtest/gtest.h>

#include "tests/ui/gui_test_context.h"
#include "tests/ui/palette.h"
#include "tests/ui/panel_test_app.h"
#include "ui/leaderboard_panel.h"
#include "ui/open_in_browser.h"

namespace vornmark {

namespace {

// The panel with a leaderboard chosen as a user would choose it, and the browser replaced by a
// recorder of the addresses it was handed.
struct PageLinkTest : ::testing::Test {
    void use(const std::string& url, std::optional<std::string> ca_file = std::nullopt) {
        app = std::make_unique<AppState>(choose_leaderboard_setting({flag_source({url, ca_file})}),
                                         dir.file("history.json"));
        app->open_url = [this](const std::string& opened) {
            opened_urls.push_back(opened);
            return answer;
        };
    }
    std::function<void()> panel() {
        return in_window(ImVec2(360.0f, 500.0f), [this] { draw_leaderboard_panel(*app); });
    }

    TempDir dir;
    GuiTestContext gui;
    std::unique_ptr<AppState> app;
    std::vector<std::string> opened_urls;
    std::string answer;
};

}  // namespace

TEST_F(PageLinkTest, OpensTheBoardsPageAtTheSelectedType) {
    use("https://bench.example.org:8443");
    gui.frames(2, panel());
    const auto open = gui.find_text("Open in browser");
    ASSERT_TRUE(open) << gui.all_text();
    EXPECT_EQ(open->color, packed(palette::teal));
    ASSERT_TRUE(gui.click_text("Open in browser", panel()));
    ASSERT_TRUE(gui.click_text("Multi-Core", panel()));
    gui.frame(panel());
    answer = "Not opened: xdg-open is not installed (Debian package xdg-utils)";
    ASSERT_TRUE(gui.click_text("Open in browser", panel()));
    gui.frame(panel());
    EXPECT_EQ(opened_urls, (std::vector<std::string>{"https://bench.example.org:8443/#single",
                                                     "https://bench.example.org:8443/#multi"}));
    const auto problem = gui.find_text("xdg-open is not installed");
    ASSERT_TRUE(problem) << gui.all_text();
    EXPECT_EQ(problem->color, packed(palette::error_red));
}

// A leaderboard checked against a CA file of its own, as run.sh's local one: its address to copy and
// how to trust the certificate, and nothing handed to a browser.
TEST_F(PageLinkTest, ALeaderboardWithACertificateOfItsOwnShowsTheAddressAndANote) {
    const std::string ca = dir.file("cert.pem");
    { std::ofstream(ca) << "not read here\n"; }
    use("https://127.0.0.1:4443", ca);
    ASSERT_FALSE(app->leaderboard_client.setting().refused()) << app->leaderboard_client.setting().error;
    gui.frames(2, panel());
    EXPECT_FALSE(gui.has_text("Open in browser"));
    EXPECT_TRUE(gui.has_text("https://127.0.0.1:4443/#single")) << gui.all_text();
    const auto note = gui.find_text("A browser does not know");
    ASSERT_TRUE(note) << gui.all_text();
    EXPECT_EQ(note->color, packed(palette::label_grey));
    EXPECT_TRUE(opened_urls.empty());
}

TEST(OpenInBrowser, HandsOverOnlyHttpsAddressesWithoutBlanks) {
    for (const char* url : {"https://bench.example.org/", "https://[::1]:8443/#multi"}) {
        EXPECT_TRUE(is_openable_url(url)) << url;
    }
    for (const char* url :
         {"http://bench.example.org/", "file:///etc/passwd", "https://", "javascript:alert(1)",
          "https://a b/", "https://x/\"", "https://x/\n", "HTTPS://x/"}) {
        EXPECT_FALSE(is_openable_url(url)) << url;
        EXPECT_NE(open_in_browser(url), "") << url;
    }
}

}  // namespace vornmark
