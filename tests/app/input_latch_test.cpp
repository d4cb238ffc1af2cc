#include "app/input_latch.h"

#include <gtest/gtest.h>

#include <string>

namespace vornmark::app {

namespace {

// Plays a sequence of presses (D), releases (U) and frame starts (F) of one input through the
// latch into a stand-in for the GUI's state of that input, and returns the state each frame saw.
std::string frames_seen(const std::string& events, int input, InputLatch& latch) {
    bool down = false;
    std::string seen;
    for (const char event : events) {
        if (event == 'D') {
            down = true;
            latch.pressed(input);
        } else if (event == 'U') {
            if (!latch.hold_release(input)) down = false;
        } else {
            if (latch.releases_due().test(static_cast<std::size_t>(input))) down = false;
            seen += down ? '1' : '0';
        }
    }
    return seen;
}

TEST(InputLatch, EveryFrameSequenceSeesThePressBeforeTheRelease) {
    struct Case {
        const char* events;
        const char* seen;
    };
    const Case cases[] = {
        {"DUFF", "10"},    // press and release within one frame: still a click or a key
        {"DFUF", "10"},    // an ordinary click passes straight through
        {"DFFUF", "110"},  // a held button or key
        {"DUDUFF", "10"},  // two clicks before one frame count as one
        {"DDDUFF", "10"},  // a key's repeats, then its release
        {"FF", "00"},
    };
    // The left button, the last button, Space and the last virtual key.
    for (const int input : {0, 4, InputLatch::key_input(0x20), InputLatch::key_input(255)}) {
        for (const Case& c : cases) {
            InputLatch latch;
            EXPECT_EQ(frames_seen(c.events, input, latch), c.seen) << c.events << " of input " << input;
            EXPECT_FALSE(latch.holding()) << c.events << " of input " << input;
        }
    }
}

TEST(InputLatch, HoldingKeepsTheLoopDrawingUntilTheReleaseWasHandedOver) {
    InputLatch latch;
    const int tab = InputLatch::key_input(0x09);
    latch.pressed(2);
    latch.pressed(tab);
    EXPECT_TRUE(latch.hold_release(2));
    EXPECT_TRUE(latch.hold_release(tab));
    EXPECT_TRUE(latch.holding());
    EXPECT_TRUE(latch.releases_due().none());
    EXPECT_TRUE(latch.holding());
    InputLatch::Inputs both;
    both.set(2).set(static_cast<std::size_t>(tab));
    EXPECT_EQ(latch.releases_due(), both);
    EXPECT_FALSE(latch.holding());
    for (const int unknown : {-1, InputLatch::inputs}) {
        latch.pressed(unknown);
        EXPECT_FALSE(latch.hold_release(unknown)) << unknown;
    }
}

}  // namespace

}  // namespace vornmark::app
