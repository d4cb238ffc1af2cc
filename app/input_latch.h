#pragma once

#include <bitset>

namespace vornmark::app {

// The GUI library's Win32 backend reads the mouse buttons' and the keys' state once per frame,
// so a press and a release that both arrive between two frames (an instant click, a touchpad
// tap, a quick key while the loop slept or a busy machine kept it waiting) would go unseen. The
// window procedure holds such a release back from the GUI until a frame has seen the press, and
// hands it over before the next one.
class InputLatch {
public:
    // The inputs latched: mouse buttons 0 to 4, then the 256 virtual keys.
    static constexpr int mouse_buttons = 5;
    static constexpr int inputs = mouse_buttons + 256;
    static constexpr int key_input(int virtual_key) { return mouse_buttons + virtual_key; }
    using Inputs = std::bitset<inputs>;

    // A press of `input` went to the GUI.
    void pressed(int input);
    // At a release: true when no frame has seen the press yet; the release is then kept
    // (a later release of the same input merges with it).
    bool hold_release(int input);
    // At the start of each frame, before the GUI reads the inputs: the releases to hand to the
    // GUI now (those held before the previous frame began).
    Inputs releases_due();
    // Whether releases are still held back, so that the loop draws the next frame at once.
    bool holding() const { return held_.any() || ready_.any(); }

private:
    Inputs unseen_presses_;
    Inputs held_;   // held back since the last frame began
    Inputs ready_;  // the press has been seen by a frame: due at the next
};

}  // namespace vornmark::app
