// The shell's parts that need no display: icon, fonts, and the start without one.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/fonts.h"
#include "app/window_icon.h"

namespace vornmark::app {

namespace {

TEST(WindowIcon, DarkRoundedSquareWithTheTealSphere) {
    const auto icon = draw_window_icon(48);
    ASSERT_EQ(icon.size(), 48u * 48u * 4u);
    const auto at = [&](int x, int y) { return &icon[(static_cast<std::size_t>(y) * 48 + x) * 4]; };
    // Rounded corners are transparent, the square's edge is opaque dark grey.
    EXPECT_EQ(at(0, 0)[3], 0);
    EXPECT_EQ(at(47, 47)[3], 0);
    EXPECT_EQ(at(24, 1)[3], 255);
    EXPECT_EQ(at(24, 1)[0], 13);
    // The sphere's lit side is teal: no red, more green than blue.
    const std::uint8_t* lit = at(19, 17);
    EXPECT_EQ(lit[3], 255);
    EXPECT_LT(lit[0], 10);
    EXPECT_GT(lit[1], lit[2]);
    EXPECT_GT(lit[1], 150);
}

TEST(WindowIcon, SmallSizesAndNoSize) {
    EXPECT_EQ(draw_window_icon(16).size(), 16u * 16u * 4u);
    EXPECT_TRUE(draw_window_icon(0).empty());
}

TEST(MatchFontFile, FindsAProportionalAndAMonospacedFace) {
    const std::string ui = match_font_file("Segoe UI", "sans-serif");
    const std::string mono = match_font_file("Consolas", "monospace");
    ASSERT_FALSE(ui.empty());
    ASSERT_FALSE(mono.empty());
    EXPECT_NE(ui, mono);
    EXPECT_NE(mono.find("Mono"), std::string::npos) << mono;
}

TEST(Program, WithoutADisplayExitsWithOneLineOnStderr) {
    const std::string command =
        std::string("env -u DISPLAY -u WAYLAND_DISPLAY '") + VORNMARK_BINARY + "' 2>&1 </dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    ASSERT_FALSE(output.empty());
    EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
    EXPECT_EQ(output.rfind("vornmark: ", 0), 0u) << output;
}

}  // namespace

}  // namespace vornmark::app
