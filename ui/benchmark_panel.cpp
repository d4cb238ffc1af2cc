#include "ui/benchmark_panel.h"

#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "base/run_kind.h"
#include "session/run_record.h"
#include "session/run_sequence.h"
#include "session/verified_run.h"
#include "ui/app_state.h"
#include "ui/colours.h"

namespace {

// Pixels, deliberately not scaled with the DPI.
constexpr float start_button_height = 35.0f;
constexpr float cancel_button_height = 30.0f;

std::int32_t hardware_threads() {
    return static_cast<std::int32_t>(std::thread::hardware_concurrency());
}

void start_benchmark(AppState& app, std::int32_t threads, bool continues_sequence = false) {
    app.run_settings.threads = threads;
    if (!continues_sequence) app.shown_verdict = ImageVerdict{};
    app.finished_run_seconds.reset();
    if (app.gpu) app.gpu->create_texture(app.run_settings.width, app.run_settings.height);
    app.engine.start(app.run_settings);
}

enum class ShownScore { Single, Multi, ByType };

// Takes the engine's finished run exactly once, checks its image, shows it, and
// records it (history, then the leaderboard) unless the image is wrong.
void collect_result(AppState& app, ShownScore shown) {
    const std::optional<FinishedRun> finished =
        take_verified_run(app.engine, app.run_settings, *app.known_images);
    if (!finished) return;
    const BenchmarkResult* result = &finished->result;
    const bool single =
        shown == ShownScore::Single || (shown == ShownScore::ByType && result->type == RunKind::Single);
    if (single)
        app.shown_single_score = result->score;
    else
        app.shown_multi_score = result->score;
    app.finished_run_seconds = result->time_seconds;
    // The second run of "Run Both" does not hide a wrong image of the first.
    if (!(shown == ShownScore::Multi && app.shown_verdict.status == ImageStatus::Mismatch))
        app.shown_verdict = finished->verdict;
    record_verified_run(*finished, app.sysinfo.cpu_name, app.history, &app.leaderboard_client);
}

// "Run Both" is a sequence of two: the single-core run, then the multi-core one.
void advance_run_both(AppState& app, EngineState engine) {
    const SequenceStep step = app.run_both.next_step(engine);
    switch (step) {
    case SequenceStep::Wait:
        return;
    case SequenceStep::CollectAndStartNext: {
        collect_result(app, ShownScore::Single);
        app.run_both.advance(step);
        const std::int32_t threads = hardware_threads();
        if (!app.engine.running.load()) start_benchmark(app, threads, true);
        return;
    }
    case SequenceStep::CollectAndFinish:
        collect_result(app, ShownScore::Multi);
        break;
    case SequenceStep::Abandon:
        break;
    }
    app.run_both.advance(step);
}

void push_button_colours(const ImVec4& normal, const ImVec4& hovered, const ImVec4& active) {
    ImGui::PushStyleColor(ImGuiCol_Button, normal);
    ImGui::PushStyleColor(ImGuiCol_ButtonHovered, hovered);
    ImGui::PushStyleColor(ImGuiCol_ButtonActive, active);
}

}  // namespace

float cancel_button_room() {
    return cancel_button_height + 2.0f * ImGui::GetStyle().ItemSpacing.y;
}

void draw_benchmark_panel(AppState& app) {
    BenchmarkEngine& engine = app.engine;

    ImGui::Spacing();
    ImGui::PushStyleColor(ImGuiCol_Text, orange);
    ImGui::Text("BENCHMARK");
    ImGui::PopStyleColor();
    ImGui::Separator();
    ImGui::Spacing();

    // Read once: it decides the collection, the disabled buttons and Cancel in this frame.
    const EngineState state = engine_state(engine);
    const bool running = state.running;

    advance_run_both(app, state);
    // A run outside "Run Both" (the sequence collects its own).
    if (!app.run_both.active() && !running) collect_result(app, ShownScore::ByType);

    ImGui::BeginDisabled(running);
    const float w = ImGui::GetContentRegionAvail().x;

    push_button_colours(core_button, core_button_hovered, core_button_active);
    if (ImGui::Button("  Single-Core  ", ImVec2(w, start_button_height)) && !engine.running.load())
        start_benchmark(app, 1);
    char multi_label[64];
    std::snprintf(multi_label, sizeof multi_label, "  Multi-Core (%dT)  ", hardware_threads());
    if (ImGui::Button(multi_label, ImVec2(w, start_button_height))) {
        const std::int32_t threads = hardware_threads();
        if (!engine.running.load()) start_benchmark(app, threads);
    }
    ImGui::PopStyleColor(3);

    push_button_colours(both_button, both_button_hovered, both_button_active);
    if (ImGui::Button("  Run Both  ", ImVec2(w, start_button_height))) {
        app.run_both.begin(2);
        if (!engine.running.load()) start_benchmark(app, 1);
    }
    ImGui::PopStyleColor(3);
    ImGui::EndDisabled();

    if (running) {
        ImGui::Spacing();
        if (ImGui::Button("  Cancel  ", ImVec2(w, cancel_button_height))) {
            engine.cancel_requested.exchange(true);
            app.run_both.end();
        }
    }

    // Why the last start was refused or the run could not take place; the
    // engine clears it with the next accepted start.
    const std::string error = engine.error();
    if (!error.empty()) {
        ImGui::Spacing();
        ImGui::PushStyleColor(ImGuiCol_Text, error_red);
        ImGui::TextWrapped("%s", error.c_str());
        ImGui::PopStyleColor();
    }
}
