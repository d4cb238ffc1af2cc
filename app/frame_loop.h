#pragma once

struct AppState;
class Shell;

// Called after each frame with the window's processor time so far (WindowCpuClock).
using FrameObserver = void (*)(const AppState& app, double window_cpu_seconds);

// The frame loop of both shells, on the GUI thread, until the window is closed or a stop
// signal (Ctrl-C, SIGTERM) arrives. FramePacer decides when each frame is drawn.
void run_frame_loop(AppState& app, Shell& shell, FrameObserver frame_drawn);
