#include "ui/benchmark_panel.h"

#include <cstdio>
#include <string>
#include <thread>

#include "app/app_state.h"
#include "history/history_entry.h"
#include "ui/colours.h"

namespace {

const ImVec4 error_red(0.8f, 0.2f, 0.2f, 1.0f);

const ImVec4 core_button(0.0f, 0.5f, 0.4f, 1.0f);
const ImVec4 core_button_hovered(0.0f, 0.65f, 0.52f, 1.0f);
const ImVec4 core_button_active(0.0f, 0.75f, 0.6f, 1.0f);
const ImVec4 both_button(0.6f, 0.25f, 0.1f, 1.0f);
const ImVec4 both_button_hovered(0.75f, 0.32f, 0.12f, 1.0f);
const ImVec4 both_button_active(0.9f, 0.4f, 0.15f, 1.0f);

// Pixels, deliberately not scaled with the DPI.
constexpr float start_button_height = 35.0f;
constexpr float cancel_button_height = 30.0f;

std::int32_t hardware_threads() {
    return static_cast<std::int32_t>(std::thread::hardware_concurrency());
}

void start_benchmark(AppState& app, std::int32_t threads) {
    app.run_settings.threads = threads;
    if (app.gpu) app.gpu->create_texture(app.run_settings.width, app.run_settings.height);
    app.engine.start(app.run_settings);
}

enum class ShownScore { Single, Multi, ByType };

// Takes the engine's finished run exactly once: shows it, stores it in the
// history (which saves the file) and submits it in the background.
void collect_result(AppState& app, ShownScore shown) {
    const BenchmarkResult result = app.engine.result;
    const bool single =
        shown == ShownScore::Single || (shown == ShownScore::ByType && result.type == "single");
    if (single)
        app.shown_single_score = result.score;
    else
        app.shown_multi_score = result.score;
    app.engine.result_ready.exchange(false);

    HistoryEntry entry = history_entry_from_result(result, app.sysinfo.cpu_name);
    app.history.append(entry);
    app.leaderboard_client.submit_result(entry.cpu, entry.type, entry.score, entry.threads);
}

void push_button_colours(const ImVec4& normal, const ImVec4& hovered, const ImVec4& active) {
    ImGui::PushStyleColor(ImGuiCol_Button, normal);
    ImGui::PushStyleColor(ImGuiCol_ButtonHovered, hovered);
    ImGui::PushStyleColor(ImGuiCol_ButtonActive, active);
}

}  // namespace

void draw_benchmark_panel(AppState& app) {
    BenchmarkEngine& engine = app.engine;

    ImGui::Spacing();
    ImGui::PushStyleColor(ImGuiCol_Text, orange);
    ImGui::Text("BENCHMARK");
    ImGui::PopStyleColor();
    ImGui::Separator();
    ImGui::Spacing();

    const bool running = engine.running.load();
    const bool second_phase_before = app.run_both_second_phase;

    // "Run Both", first half done: keep the single-core result, start the multi-core run.
    if (app.run_both_active && !running && !app.run_both_second_phase && engine.result_ready.load()) {
        collect_result(app, ShownScore::Single);
        app.run_both_second_phase = true;
        const std::int32_t threads = hardware_threads();
        if (!engine.running.load()) start_benchmark(app, threads);
    }
    // "Run Both", second half done: the sequence is over.
    else if (app.run_both_active && !running && second_phase_before && engine.result_ready.load()) {
        collect_result(app, ShownScore::Multi);
        app.run_both_active = false;
        app.run_both_second_phase = false;
    }
    // A start the engine refused, or a run that could not take place, leaves no
    // result to wait for: end the sequence instead of waiting for ever.
    if (app.run_both_active && !engine.running.load() && !engine.result_ready.load() &&
        !engine.error().empty()) {
        app.run_both_active = false;
        app.run_both_second_phase = false;
    }
    if (!app.run_both_active && !running && engine.result_ready.load())
        collect_result(app, ShownScore::ByType);

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
        app.run_both_active = true;
        app.run_both_second_phase = false;
        if (!engine.running.load()) start_benchmark(app, 1);
    }
    ImGui::PopStyleColor(3);
    ImGui::EndDisabled();

    if (running) {
        ImGui::Spacing();
        if (ImGui::Button("  Cancel  ", ImVec2(w, cancel_button_height))) {
            engine.cancel_requested.exchange(true);
            app.run_both_active = false;
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
