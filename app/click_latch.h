#pragma once

#include <cstdint>

// The GUI library's Win32 backend reads the mouse buttons' state once per frame, so a press
// and a release that both arrive between two frames (an instant click, a touchpad tap while
// the loop slept) would go unseen. The window procedure holds such a release back until a
// frame has seen the press, and hands it to the GUI before the next one.
class ClickLatch {
public:
    static constexpr int buttons = 5;

    // A press of `button` (0 to 4) went to the GUI.
    void pressed(int button);
    // At a release: true when no frame has seen the press yet; the release is then kept
    // (a later release of the same button merges with it).
    bool hold_release(int button);
    // At the start of each frame, before the GUI reads the buttons: the releases to hand to
    // the GUI now, one bit per button (those held before the previous frame began).
    std::uint32_t releases_due();
    // Whether releases are still held back, so that the loop draws the next frame at once.
    bool holding() const { return held_ != 0 || ready_ != 0; }

private:
    std::uint32_t unseen_presses_ = 0;
    std::uint32_t held_ = 0;   // held back since the last frame began
    std::uint32_t ready_ = 0;  // the press has been seen by a frame: due at the next
};
