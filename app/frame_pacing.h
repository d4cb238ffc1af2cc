#pragma once

// Every decision about when the window draws its next frame, apart from any clock or window
// system so that tests can drive it with made-up times.
//
// - Never faster than the display: a frame takes at least one refresh interval (the swap
//   may not wait for the vertical blank: virtual machines, remote desktops and software
//   renderers ignore it).
// - During a run the window's drawing is budgeted by processor time, not wall time:
//   waiting for the display costs the machine nothing, drawing with a software renderer
//   costs it a lot. A frame is drawn when the window's processor time over the recent past
//   stays within run_machine_share of the machine, and at least every max_run_interval,
//   so that the preview and the progress line move at least twice a second.
// - A click or a key is answered at once; pointer moves wait for the budget.
// - Without a run the window draws only after input (and a few frames after it, so hover
//   states settle), while leaderboard requests are pending or when their number changes,
//   and when a run starts or ends.
#include <cstdint>

namespace vornmark::app {

// What reached the window since the loop last asked.
enum class InputSeen : std::uint8_t {
    none,
    pointer,  // the pointer moved, entered or left
    action,   // a button, wheel or key; a resize, an uncovered window, focus
};

// The loop's view of the world at one moment.
struct PacingInputs {
    double now = 0.0;         // seconds of a monotonic clock
    double window_cpu = 0.0;  // the window's processor time so far, seconds (WindowCpuClock)
    bool run_in_progress = false;  // false from the moment the run ends, before it is reported
    InputSeen input = InputSeen::none;
    std::int32_t pending_requests = 0;  // leaderboard requests in flight
};

class FramePacer {
public:
    static constexpr double fallback_refresh_hz = 60.0;
    // During a run the window takes at most this share of the machine's processor time,
    // averaged over about budget_memory_seconds.
    static constexpr double run_machine_share = 0.02;
    static constexpr double budget_memory_seconds = 0.5;
    // During a run a frame comes at least this often, whatever it costs.
    static constexpr double max_run_interval = 0.4;
    // During a run the loop looks this often whether the run has ended, so that the frame
    // that shows the end (a Cancel's above all) comes at once.
    static constexpr double run_end_check_seconds = 0.05;
    // Without a run the loop looks at the leaderboard requests this often, and draws a
    // frame this often even when nothing seems to have changed.
    static constexpr double idle_check_seconds = 0.5;
    static constexpr double idle_redraw_seconds = 10.0;
    static constexpr int frames_after_input = 3;

    // refresh_hz: the display's rate, 0 or less when unknown (then 60 Hz);
    // hardware_threads: the machine's, at least 1.
    FramePacer(double refresh_hz, int hardware_threads);

    double interval() const { return interval_; }

    // Seconds to wait for input before asking again; 0: draw a frame now. Call it before
    // every frame and after every wait, with the input seen since the previous call.
    double wait_before_frame(const PacingInputs& inputs);

    // A frame started drawing at frame_start (seconds, the clock of `now`).
    void frame_drawn(double frame_start);

private:
    void account_budget(const PacingInputs& inputs);
    double next_frame_due(const PacingInputs& inputs) const;

    double interval_;
    double budget_cores_;  // processor seconds per second during a run
    double allowance_;     // processor seconds the window may still spend
    double last_now_ = 0.0;
    double last_cpu_ = 0.0;
    bool accounted_ = false;
    double last_frame_ = -1.0e30;
    InputSeen pending_input_ = InputSeen::none;
    int frames_to_draw_ = 0;
    bool frame_shows_run_ = false;
    bool run_changed_ = false;
    std::int32_t last_requests_ = 0;
    bool requests_changed_ = false;
};

}  // namespace vornmark::app
