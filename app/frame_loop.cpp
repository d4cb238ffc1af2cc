#include "app/frame_loop.h"

#include <imgui.h>

#include <thread>

#include "app/frame_pacing.h"
#include "app/layout_file.h"
#include "app/shell.h"
#include "app/window_cpu_clock.h"
#include "engine/steady_clock.h"
#include "history/history_path.h"
#include "session/stop_signal.h"
#include "ui/app_state.h"
#include "ui/main_layout.h"
#include "ui/run_updates.h"

namespace vornmark::app {

namespace {

void draw_frame(AppState& app, Shell& shell) {
    // What the runs did since the last frame, before any panel reads their state.
    poll_runs(app);
    shell.new_frame();
    ImGui::NewFrame();
    if (app.font_ui != nullptr) ImGui::PushFont(app.font_ui);
    draw_main_layout(app);
    if (app.font_ui != nullptr) ImGui::PopFont();
    shell.keep_minimum_size(static_cast<int>(app.minimum_window_size.x),
                            static_cast<int>(app.minimum_window_size.y));
    ImGui::Render();
    shell.present_frame();
}

}  // namespace

void run_frame_loop(AppState& app, Shell& shell, FrameObserver frame_drawn) {
    const WindowCpuClock window_cpu;
    FramePacer pacer(shell.refresh_rate_hz(), static_cast<int>(std::thread::hardware_concurrency()));
    LayoutFile layout(layout_file_path(app.history.path(), executable_path()));
    while (shell.handle_events() && !stop_requested()) {
        const double now = steady_now_seconds();
        const double wait =
            pacer.wait_before_frame({.now = now,
                                     .window_cpu = window_cpu.seconds(),
                                     .run_in_progress = app.runs.busy() && !app.runs.run_has_ended(),
                                     .input = shell.take_input(),
                                     .pending_requests = app.leaderboard_client.pending_request_count()});
        if (wait > 0.0) {
            shell.wait_for_events(wait);
            continue;
        }
        draw_frame(app, shell);
        layout.save_when_asked();
        pacer.frame_drawn(now);
        if (frame_drawn != nullptr) {
            const Shell::Buffer buffer = shell.back_buffer();
            frame_drawn(app, {window_cpu.seconds(), buffer.width, buffer.height, buffer.resizes});
        }
    }
    layout.save();
}

}  // namespace vornmark::app
