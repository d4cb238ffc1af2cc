#pragma once

// Frame pacing that does not trust the swap to wait for the vertical blank
// (virtual machines, remote desktops and software renderers do not): a frame
// takes at least one refresh interval, and without a run in progress the loop
// sleeps until an input event or the next CPU-graph sample is due.
#include <cstdint>

class FramePacer {
public:
    static constexpr double fallback_refresh_hz = 60.0;
    // The CPU graph samples every 0.5 s; an idle window wakes at least that often.
    static constexpr double idle_wait_seconds = 0.5;
    // Between events an idle window redraws only when something may have changed
    // behind it, and at least this often.
    static constexpr double idle_redraw_seconds = 2.0;
    // Frames drawn back to back after an input event, so that hover and click
    // states settle before the loop sleeps again.
    static constexpr int frames_after_event = 3;

    // refresh_hz: the display's refresh rate, 0 or less when unknown (then 60 Hz).
    explicit FramePacer(double refresh_hz);

    double interval() const { return interval_; }

    // While a run is in progress the window's drawing may take at most this share
    // of the time: a frame that took `spent` seconds to draw and present is
    // followed by a pause long enough to keep to it (software OpenGL, where a
    // frame costs milliseconds of processor time, then draws a few frames a
    // second; a real graphics card keeps the display's rate).
    static constexpr double run_busy_share = 0.01;
    double rest_of_run_interval(double frame_start, double now) const;

    // How long to sleep after presenting a frame that began at frame_start
    // (seconds of a monotonic clock) when the clock now reads now: the rest of
    // the refresh interval, 0 if the swap already took that long.
    double rest_of_interval(double frame_start, double now) const;

    // Whether the next frame is drawn without first waiting for events: while a
    // run is in progress, and for a few frames after an event.
    bool draws_continuously(bool run_in_progress) const { return run_in_progress || frames_to_draw_ > 0; }

    // After an idle wait: whether to draw a frame now. Yes after an input event,
    // while background requests are pending or when their number changed (their
    // outcome is to be shown), and when the last frame is idle_redraw_seconds old.
    bool idle_frame_due(bool woke_by_event, std::int32_t pending_requests, double now);

    // Bookkeeping after each frame drawn at `now` (seconds): woke_by_event says the
    // wait before it ended early (an input event); that keeps the next few frames coming.
    void frame_drawn(bool woke_by_event, double now);

private:
    double interval_;
    int frames_to_draw_ = 0;
    double last_frame_ = -1.0e30;
    std::int32_t last_pending_ = 0;
};
