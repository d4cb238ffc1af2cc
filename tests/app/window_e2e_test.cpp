// The real program in a virtual X server: its window, its first frames and its
// orderly end on a close request.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <stb/stb_image.h>

#include "tests/app/xvfb_display.h"
#include "tests/support/temp_dir.h"

namespace vornmark::app {

namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    bool has_colour(int r, int g, int b) const { return pixels_of_colour(r, g, b) > 0; }
    std::size_t pixels_of_colour(int r, int g, int b) const {
        std::size_t count = 0;
        for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
            if (rgb[i] == r && rgb[i + 1] == g && rgb[i + 2] == b) ++count;
        }
        return count;
    }
};

Screenshot load_png(const fs::path& path) {
    Screenshot shot;
    int channels = 0;
    unsigned char* data = stbi_load(path.c_str(), &shot.width, &shot.height, &channels, 3);
    if (data != nullptr) {
        shot.rgb.assign(data, data + static_cast<std::size_t>(shot.width) * shot.height * 3);
        stbi_image_free(data);
    }
    return shot;
}

// Copies the program into a fresh directory (its history file lives beside it) and
// runs it there on a fresh virtual screen (1920 x 1080 unless `screen` says otherwise), closing it
// the way `how` says.
class WindowRun {
public:
    explicit WindowRun(const std::string& how, const char* screen = "1920x1080x24") : xvfb(screen) {
        if (!xvfb.ready()) {
            return;
        }
        fs::copy_file(VORNMARK_BINARY, dir.path() / "vornmark");
        const std::string command = "cd '" + dir.path().string() + "' && bash '" +
                                    VORNMARK_RUN_WINDOW_SCRIPT + "' " + how + " '" + X11_PROBE_BINARY +
                                    "' >script.txt 2>&1";
        status = std::system(command.c_str());
        result = read_file(dir.path() / "result.txt");
    }
    fs::path file(const char* name) const { return dir.path() / name; }

    XvfbDisplay xvfb;
    TempDir dir;
    int status = -1;
    std::string result;
};

void expect_window_and_orderly_close(const WindowRun& run) {
    ASSERT_TRUE(run.xvfb.ready()) << "Xvfb did not start";
    ASSERT_EQ(run.status, 0) << read_file(run.file("script.txt"));
    ASSERT_EQ(run.result.find("no-window"), std::string::npos) << read_file(run.file("stderr.txt"));
    EXPECT_EQ(run.result.find("no-frame"), std::string::npos) << run.result;

    EXPECT_NE(read_file(run.file("geometry.txt")).find("Geometry: 1600x900"), std::string::npos)
        << read_file(run.file("geometry.txt"));
    const Screenshot window = load_png(run.file("window.png"));
    EXPECT_EQ(window.width, 1600);
    EXPECT_EQ(window.height, 900);
    EXPECT_TRUE(window.has_colour(0, 212, 170)) << "no teal header";
    EXPECT_TRUE(window.has_colour(13, 13, 13)) << "no dark background";
    // Centred on the 1920 x 1080 screen.
    EXPECT_NE(read_file(run.file("geometry.txt")).find("Position: 160,90"), std::string::npos)
        << read_file(run.file("geometry.txt"));

    // An orderly end: exit code 0 (a program the watchdog had to kill ends with 137).
    int code = -1;
    std::istringstream(run.result.substr(run.result.find("exit ") + 5)) >> code;
    EXPECT_EQ(code, 0) << run.result << read_file(run.file("stderr.txt"));
    EXPECT_EQ(read_file(run.file("stderr.txt")), "");
    // The GUI context was destroyed in order: it writes its layout file then.
    EXPECT_TRUE(fs::exists(run.file("imgui.ini")));
}

// "Position: X,Y" and "Geometry: WxH" as xdotool reports them.
struct Placement {
    int x = -1;
    int y = -1;
    int width = 0;
    int height = 0;
};

Placement placement_of(const std::string& geometry) {
    Placement p;
    std::sscanf(geometry.c_str() + std::min(geometry.find("Position: "), geometry.size()), "Position: %d,%d",
                &p.x, &p.y);
    std::sscanf(geometry.c_str() + std::min(geometry.find("Geometry: "), geometry.size()), "Geometry: %dx%d",
                &p.width, &p.height);
    return p;
}

// On a screen smaller than the window's 1600 x 900 it opens as large as the screen allows, on the
// screen, with the start buttons whole in view: the teal Single-Core and Multi-Core buttons and the
// orange Run Both (about 250 x 35 pixels each).
TEST(Window, OnA1024By768ScreenOpensAsLargeAsFitsWithTheStartButtonsInView) {
    const WindowRun run("term", "1024x768x24");
    ASSERT_TRUE(run.xvfb.ready()) << "Xvfb did not start";
    ASSERT_EQ(run.status, 0) << read_file(run.file("script.txt"));
    ASSERT_EQ(run.result.find("no-window"), std::string::npos) << read_file(run.file("stderr.txt"));
    EXPECT_EQ(run.result.find("no-frame"), std::string::npos) << run.result;

    const std::string geometry = read_file(run.file("geometry.txt"));
    const Placement window = placement_of(geometry);
    EXPECT_EQ(window.x, 0) << geometry;
    EXPECT_EQ(window.y, 0) << geometry;
    EXPECT_EQ(window.width, 1024) << geometry;
    EXPECT_EQ(window.height, 768) << geometry;

    const Screenshot screen = load_png(run.file("screen.png"));
    ASSERT_EQ(screen.width, 1024);
    EXPECT_GE(screen.pixels_of_colour(0, 128, 102), 2u * 200u * 30u) << "Single-Core and Multi-Core";
    EXPECT_GE(screen.pixels_of_colour(153, 64, 26), 200u * 30u) << "Run Both";
    EXPECT_EQ(read_file(run.file("stderr.txt")), "");
}

TEST(Window, OpensCentredDrawsItsFramesAndClosesOnSigterm) {
    const WindowRun run("term");
    expect_window_and_orderly_close(run);
}

TEST(Window, ClosesOnTheWindowManagersCloseMessage) {
    const WindowRun run("wm");
    expect_window_and_orderly_close(run);
}

TEST(Window, ClosesOnSigint) {
    const WindowRun run("int");
    expect_window_and_orderly_close(run);
}

}  // namespace

}  // namespace vornmark::app
