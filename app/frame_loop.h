#pragma once

namespace vornmark {
struct AppState;
}  // namespace vornmark

namespace vornmark::app {

class Shell;

// What the loop knows after a frame, for an observer.
struct FrameFacts {
    double window_cpu_seconds = 0.0;  // the window's processor time so far (WindowCpuClock)
    int buffer_width = 0;             // the back buffer the frame was drawn into
    int buffer_height = 0;
    int resizes = 0;  // back-buffer resizes applied so far
};
using FrameObserver = void (*)(const AppState& app, const FrameFacts& facts);

// The frame loop of both shells, on the GUI thread, until the window is closed or a stop
// signal (Ctrl-C, SIGTERM) arrives. FramePacer decides when each frame is drawn. The window's
// layout is read before the first frame and kept where layout_file_path puts it.
void run_frame_loop(AppState& app, Shell& shell, FrameObserver frame_drawn);

}  // namespace vornmark::app
