#include "app/click_latch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Plays a sequence of left-button presses (D), releases (U) and frame starts (F) through the
// latch into a stand-in for the GUI's button state, and returns the state each frame saw.
std::string frames_seen(const std::string& events, ClickLatch& latch) {
    bool down = false;
    std::string seen;
    for (const char event : events) {
        if (event == 'D') {
            down = true;
            latch.pressed(0);
        } else if (event == 'U') {
            if (!latch.hold_release(0)) down = false;
        } else {
            if (latch.releases_due() & 1u) down = false;
            seen += down ? '1' : '0';
        }
    }
    return seen;
}

TEST(ClickLatch, EveryFrameSequenceSeesThePressBeforeTheRelease) {
    struct Case {
        const char* events;
        const char* seen;
    };
    const Case cases[] = {
        {"DUFF", "10"},    // press and release within one frame: still a click
        {"DFUF", "10"},    // an ordinary click passes straight through
        {"DFFUF", "110"},  // a held button
        {"DUDUFF", "10"},  // two clicks before one frame count as one
        {"FF", "00"},
    };
    for (const Case& c : cases) {
        ClickLatch latch;
        EXPECT_EQ(frames_seen(c.events, latch), c.seen) << c.events;
        EXPECT_FALSE(latch.holding()) << c.events;
    }
}

TEST(ClickLatch, HoldingKeepsTheLoopDrawingUntilTheReleaseWasHandedOver) {
    ClickLatch latch;
    latch.pressed(2);
    EXPECT_TRUE(latch.hold_release(2));
    EXPECT_TRUE(latch.holding());
    EXPECT_EQ(latch.releases_due(), 0u);
    EXPECT_TRUE(latch.holding());
    EXPECT_EQ(latch.releases_due(), 1u << 2);
    EXPECT_FALSE(latch.holding());
    EXPECT_FALSE(latch.hold_release(7)) << "no such button";
}

}  // namespace
