#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <imgui.h>

#include "history/history_store.h"
#include "net/leaderboard_client.h"
#include "net/leaderboard_setting.h"
#include "session/run_controller.h"
#include "sysinfo/system_info.h"
#include "ui/cpu_monitor.h"
#include "ui/gpu_backend.h"
#include "ui/open_in_browser.h"
#include "ui/preview_upload.h"
#include "ui/standing_view.h"
#include "verify/image_verdict.h"

namespace vornmark {

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
    // The benchmark runs; the panels read its state and never the engine's. Its settings are the
    // preset's; the end-to-end program and the tests shrink them.
    RunController runs;
    HistoryStore history;
    IGpuBackend* gpu = nullptr;
    std::int32_t shown_single_score = 0;
    std::int32_t shown_multi_score = 0;
    // The run shown in that place computed a wrong image: it has no score, the mismatch stands there.
    bool shown_single_wrong = false;
    bool shown_multi_wrong = false;
    // The run shown in that place could not be stored in the history (the History tab says why).
    bool shown_single_unsaved = false;
    bool shown_multi_unsaved = false;
    ImFont* font_ui = nullptr;
    ImFont* font_mono = nullptr;
    ImFont* font_mono_large = nullptr;
    ImFont* font_heading = nullptr;
    float dpi_scale = 1.0f;
    CpuMonitor cpu_monitor;
    LeaderboardClient leaderboard_client;
    // Hands the leaderboard's page to the desktop's browser; tests put a recorder here. Returns why
    // it did not, kept for the Leaderboard tab to show.
    std::function<std::string(const std::string&)> open_url = open_in_browser;
    std::string browser_problem;
    // The row chosen in the Leaderboard tab, whose spread shows under its table.
    std::optional<ChosenProcessor> chosen_processor;

    // The verdict on the image of the run collected last (within "Run Both", a
    // wrong image of its first run stays); Unchecked until then.
    ImageVerdict shown_verdict;
    // What the preview texture already shows of the current run.
    PreviewUploads preview_uploads;
    // The smallest window in which the three columns keep their content, in the fonts in use;
    // measured by the main layout every frame, applied by the shell. Zero until the first frame.
    ImVec2 minimum_window_size{0.0f, 0.0f};
};

}  // namespace vornmark
