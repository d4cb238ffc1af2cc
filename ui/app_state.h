#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <imgui.h>

#include "engine/benchmark_config.h"
#include "engine/benchmark_engine.h"
#include "history/history_store.h"
#include "net/leaderboard_client.h"
#include "net/leaderboard_setting.h"
#include "session/run_sequence.h"
#include "sysinfo/system_info.h"
#include "ui/cpu_monitor.h"
#include "ui/gpu_backend.h"
#include "ui/preview_upload.h"
#include "verify/image_verdict.h"

// Everything the panels share, owned by the entry point for the whole run and
// handed to every panel by reference each frame.
struct AppState {
    AppState() = default;
    // For tests: another leaderboard server and history file.
    AppState(LeaderboardSetting leaderboard, std::string history_path)
        : history(std::move(history_path)), leaderboard_client(std::move(leaderboard)) {}
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    SystemInfo sysinfo;
    BenchmarkEngine engine;
    HistoryStore history;
    IGpuBackend* gpu = nullptr;
    std::int32_t shown_single_score = 0;
    std::int32_t shown_multi_score = 0;
    // "Run Both": the single-core run, then the multi-core one.
    RunSequence run_both;
    ImFont* font_ui = nullptr;
    ImFont* font_mono = nullptr;
    ImFont* font_mono_large = nullptr;
    ImFont* font_heading = nullptr;
    float dpi_scale = 1.0f;
    CpuMonitor cpu_monitor;
    LeaderboardClient leaderboard_client;

    // Settings of every run started from the window: the benchmark preset, with the
    // thread count filled in per button. Test builds shrink the image and samples.
    BenchmarkConfig run_settings = preset_config(1);
    // The verdict on the image of the run collected last (within "Run Both", a
    // wrong image of its first run stays); Unchecked until then.
    ImageVerdict shown_verdict;
    // The images runs are checked against; tests put in their own.
    const std::vector<KnownImage>* known_images = &built_in_known_images();
    // What the preview texture already shows of the current run.
    PreviewUploads preview_uploads;
    // The smallest window in which the three columns keep their content, in the fonts in use;
    // measured by the main layout every frame, applied by the shell. Zero until the first frame.
    ImVec2 minimum_window_size{0.0f, 0.0f};
    // The time of the last run collected, which the progress line shows until the next run starts.
    std::optional<double> finished_run_seconds;
};
