#include "app/frame_pacing.h"

#include <algorithm>

FramePacer::FramePacer(double refresh_hz)
    : interval_(1.0 / (refresh_hz > 0.0 ? std::min(refresh_hz, 1000.0) : fallback_refresh_hz)) {}

double FramePacer::rest_of_interval(double frame_start, double now) const {
    const double spent = now - frame_start;
    // A clock that seems to run backwards is no reason to sleep a long time.
    if (spent < 0.0) return interval_;
    return std::max(0.0, interval_ - spent);
}

double FramePacer::rest_of_run_interval(double frame_start, double now) const {
    const double spent = now - frame_start;
    if (spent < 0.0) return interval_;
    return std::max(interval_, spent / run_busy_share) - spent;
}

bool FramePacer::idle_frame_due(bool woke_by_event, std::int32_t pending_requests, double now) {
    const bool pending_changed = pending_requests != last_pending_;
    last_pending_ = pending_requests;
    return woke_by_event || pending_requests > 0 || pending_changed ||
           now - last_frame_ >= idle_redraw_seconds;
}

void FramePacer::frame_drawn(bool woke_by_event, double now) {
    last_frame_ = now;
    if (woke_by_event)
        frames_to_draw_ = frames_after_event;
    else if (frames_to_draw_ > 0)
        --frames_to_draw_;
}
