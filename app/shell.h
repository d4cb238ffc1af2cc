#pragma once

#include "app/frame_pacing.h"

namespace vornmark {
class IGpuBackend;
}  // namespace vornmark

namespace vornmark::app {

// What each platform's shell gives the one frame loop (frame_loop.h): the window, its device
// and swap chain, the message pump and the waiting for events. shell_linux.* (GLFW and
// OpenGL 3.3) and shell_windows.* (Win32 and Direct3D 11) implement it; all else is shared.
// Every operation runs on the GUI thread.
class Shell {
public:
    virtual ~Shell() = default;

    // Handles every pending window-system event without waiting. False once the window is
    // to close.
    virtual bool handle_events() = 0;
    // Sleeps until an event arrives or `seconds` have passed.
    virtual void wait_for_events(double seconds) = 0;
    // What input arrived since the last call.
    virtual InputSeen take_input() = 0;
    // The display's refresh rate, 0 when the system does not say.
    virtual double refresh_rate_hz() const = 0;

    // Before the GUI's NewFrame: a pending resize applied, the backends' new frame.
    virtual void new_frame() = 0;
    // After the GUI's Render: the back buffer cleared, the GUI drawn into it and presented.
    virtual void present_frame() = 0;
    // Called every frame with the smallest client area in which the layout keeps its content
    // (0 x 0 before it was measured): the window keeps at least that size, as far as the
    // monitor's work area allows, and grows now when it is smaller.
    virtual void keep_minimum_size(int width, int height) = 0;

    // The back buffer's size and how many resizes were applied to it so far.
    struct Buffer {
        int width = 0;
        int height = 0;
        int resizes = 0;
    };
    virtual Buffer back_buffer() const = 0;

    // The preview texture's home, and the window's scale relative to 96 DPI.
    virtual IGpuBackend& gpu() = 0;
    virtual float dpi_scale() const = 0;
};

}  // namespace vornmark::app
