#include "app/window_placement.h"

#include <gtest/gtest.h>

namespace vornmark::app {

namespace {

bool same(const WindowArea& a, const WindowArea& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

// 1600 x 900 where it fits, else as large as the work area allows; centred in the work area, which
// need not start at the screen's corner (a taskbar on the left or at the top).
TEST(WindowPlacement, OpensAtItsSizeOrAsLargeAsFitsCentredInTheWorkArea) {
    struct Case {
        WindowArea work_area;
        WindowArea expected;
    };
    const Case cases[] = {
        {{0, 0, 1920, 1080}, {160, 90, 1600, 900}},     {{0, 0, 1920, 1040}, {160, 70, 1600, 900}},
        {{0, 0, 1024, 728}, {0, 0, 1024, 728}},         {{0, 0, 1366, 728}, {0, 0, 1366, 728}},
        {{0, 0, 1280, 1024}, {0, 62, 1280, 900}},       {{60, 27, 1860, 1053}, {190, 103, 1600, 900}},
        {{-1024, 0, 1024, 768}, {-1024, 0, 1024, 768}},
    };
    for (const Case& c : cases) {
        const WindowArea placed = fitted_window(c.work_area, 1600, 900);
        EXPECT_TRUE(same(placed, c.expected))
            << c.work_area.width << "x" << c.work_area.height << " -> " << placed.x << "," << placed.y << " "
            << placed.width << "x" << placed.height;
    }
}

// A window grown past an edge of the work area moves back in; one larger than the area keeps its
// top-left corner on it; one inside stays where it is.
TEST(WindowPlacement, GrownWindowIsMovedBackIntoTheWorkArea) {
    const WindowArea area{0, 0, 1024, 728};
    struct Case {
        WindowArea window;
        WindowArea expected;
    };
    const Case cases[] = {
        {{100, 50, 800, 600}, {100, 50, 800, 600}},
        {{400, 300, 900, 600}, {124, 128, 900, 600}},
        {{-50, -20, 900, 600}, {0, 0, 900, 600}},
        {{200, 100, 1300, 800}, {0, 0, 1300, 800}},
    };
    for (const Case& c : cases) {
        const WindowArea kept = kept_in_area(area, c.window);
        EXPECT_TRUE(same(kept, c.expected))
            << c.window.x << "," << c.window.y << " -> " << kept.x << "," << kept.y;
    }
}

}  // namespace

}  // namespace vornmark::app
