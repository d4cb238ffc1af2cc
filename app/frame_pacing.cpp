#include "app/frame_pacing.h"

#include <algorithm>

namespace vornmark::app {

FramePacer::FramePacer(double refresh_hz, int hardware_threads)
    : interval_(1.0 / (refresh_hz > 0.0 ? std::min(refresh_hz, 1000.0) : fallback_refresh_hz)),
      budget_cores_(run_machine_share * std::max(hardware_threads, 1)),
      allowance_(budget_cores_ * budget_memory_seconds) {}

void FramePacer::account_budget(const PacingInputs& in) {
    const double cap = budget_cores_ * budget_memory_seconds;
    if (accounted_ && in.run_in_progress) {
        // A clock that seems to run backwards earns nothing.
        const double earned = budget_cores_ * std::max(0.0, in.now - last_now_);
        allowance_ = std::clamp(allowance_ + earned - (in.window_cpu - last_cpu_), -cap, cap);
    } else if (!in.run_in_progress) {
        allowance_ = cap;
    }
    accounted_ = true;
    last_now_ = in.now;
    last_cpu_ = in.window_cpu;
}

double FramePacer::next_frame_due(const PacingInputs& in) const {
    const double earliest = last_frame_ + interval_;
    if (run_changed_ || pending_input_ == InputSeen::action) return earliest;
    if (in.run_in_progress) {
        const double repaid = allowance_ >= 0.0 ? in.now : in.now - allowance_ / budget_cores_;
        return std::max(earliest, std::min(repaid, last_frame_ + max_run_interval));
    }
    if (pending_input_ != InputSeen::none || frames_to_draw_ > 0 || in.pending_requests > 0 ||
        requests_changed_)
        return earliest;
    return last_frame_ + idle_redraw_seconds;
}

double FramePacer::wait_before_frame(const PacingInputs& in) {
    // A clock that steps backwards delays no frame by more than an interval.
    last_frame_ = std::min(last_frame_, in.now);
    account_budget(in);
    pending_input_ = std::max(pending_input_, in.input);
    run_changed_ = run_changed_ || in.run_in_progress != frame_shows_run_;
    frame_shows_run_ = in.run_in_progress;
    requests_changed_ = requests_changed_ || in.pending_requests != last_requests_;
    last_requests_ = in.pending_requests;

    const double wait = next_frame_due(in) - in.now;
    if (wait <= 0.0) return 0.0;
    // Nothing but input wakes the loop: during a run look for its end often, without one at
    // the requests now and then.
    return std::min(wait, in.run_in_progress ? run_end_check_seconds : idle_check_seconds);
}

void FramePacer::frame_drawn(double frame_start) {
    last_frame_ = frame_start;
    if (pending_input_ != InputSeen::none)
        frames_to_draw_ = frames_after_input;
    else if (frames_to_draw_ > 0)
        --frames_to_draw_;
    pending_input_ = InputSeen::none;
    run_changed_ = false;
    requests_changed_ = false;
}

}  // namespace vornmark::app
