#pragma once

#include <windows.h>

#include <string>

#include "app/dx11_gpu_backend.h"
#include "app/input_latch.h"
#include "app/shell.h"

namespace vornmark::app {

// The Windows shell: a per-monitor DPI aware Win32 window of class "VornmarkWindowClass",
// 1600 x 900 or as large as fits the primary monitor's work area, centred in it, a Direct3D 11 device with its swap chain (presented with sync
// interval 1), the GUI's Win32 and Direct3D 11 backends, and a high-resolution waitable
// timer for the loop's waits.
class Win32Shell : public Shell {
public:
    explicit Win32Shell(HINSTANCE instance) : instance_(instance) {}
    ~Win32Shell() override;
    Win32Shell(const Win32Shell&) = delete;
    Win32Shell& operator=(const Win32Shell&) = delete;

    // DPI awareness, window class and window, device and swap chain, the window shown with
    // `show_command`, the GUI context (create_gui_context) and its backends, the timer.
    // False with a reason in `error` on failure, and nothing left open.
    bool open(int show_command, std::string& error);
    // The GUI backends and context, the device objects, the window and its class, the timer,
    // in that order. Also done by the destructor.
    void close();

    bool handle_events() override;
    void wait_for_events(double seconds) override;
    InputSeen take_input() override;
    double refresh_rate_hz() const override;
    void new_frame() override;
    void present_frame() override;
    void keep_minimum_size(int width, int height) override;
    Buffer back_buffer() const override;
    IGpuBackend& gpu() override { return gpu_; }
    float dpi_scale() const override;

    // The window procedure's work, called from within DispatchMessageW.
    LRESULT handle_message(HWND window, UINT message, WPARAM w, LPARAM l);

private:
    bool create_device();
    void create_timer();
    void apply_pending_resize();

    HINSTANCE instance_;
    bool class_registered_ = false;
    HWND window_ = nullptr;
    bool gui_ready_ = false;
    Dx11GpuBackend gpu_;
    InputSeen input_ = InputSeen::none;
    // Button and key releases held back from the GUI until a frame has seen their press.
    InputLatch latch_;
    MSG held_releases_[InputLatch::inputs] = {};
    // Written by the window procedure, applied by the next frame.
    bool resize_pending_ = false;
    int resizes_ = 0;
    UINT resize_width_ = 0;
    UINT resize_height_ = 0;
    // The smallest window (frame included) the layout keeps its content in, for
    // WM_GETMINMAXINFO; none until the first frame measured it.
    SIZE kept_client_{0, 0};
    SIZE minimum_window_{0, 0};
    HANDLE timer_ = nullptr;
    bool coarse_timer_raised_ = false;  // timeBeginPeriod(1) in force
};

}  // namespace vornmark::app
