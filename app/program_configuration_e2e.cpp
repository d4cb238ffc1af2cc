// The end-to-end program: by default a tiny benchmark instead of the preset (or
// WIDTHxHEIGHTxSAMPLES from VORNMARK_TEST_RUN). The tests name their leaderboard server on
// loopback as users do (VORNMARK_LEADERBOARD_URL, VORNMARK_LEADERBOARD_CA). The history stays
// beside the executable. With VORNMARK_TEST_FRAME_LOG set, that file starts with a line
// "# gui ..." (the scale, a style size and the fonts as loaded), then each frame adds a line:
// the wall-clock time (Unix seconds), whether a run is in progress, its tiles done and in all,
// the window's processor seconds so far, the back buffer's WIDTHxHEIGHT, the number of resizes
// applied to it, and the progress line as the frame showed it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <imgui.h>

#include "app/frame_loop.h"
#include "app/program_configuration.h"
#include "session/run_texts.h"
#include "ui/app_state.h"

namespace vornmark::app {

namespace {

std::string environment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

// "WIDTHxHEIGHTxSAMPLES", each a whole number from 1 to 100000.
bool parse_test_run(const std::string& text, BenchmarkConfig& config) {
    std::int32_t values[3] = {};
    std::size_t position = 0;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (position >= text.size() || text[position] != 'x') return false;
            ++position;
        }
        const std::size_t begin = position;
        std::int64_t value = 0;
        while (position < text.size() && text[position] >= '0' && text[position] <= '9' && value <= 100000)
            value = value * 10 + (text[position++] - '0');
        if (position == begin || value < 1 || value > 100000) return false;
        values[i] = static_cast<std::int32_t>(value);
    }
    if (position != text.size()) return false;
    config.width = values[0];
    config.height = values[1];
    config.samples = values[2];
    return true;
}

// "DejaVu Sans:24.0": the face (by its file on Linux, by its family on Windows; the GUI's built-in
// font is "ProggyClean.ttf") and size.
std::string font_fact(const ImFont* font) {
    if (font == nullptr) return "none";
    const std::string name = font->GetDebugName();
    char size[32];
    std::snprintf(size, sizeof size, ":%.1f", static_cast<double>(font->FontSize));
    return name.substr(0, name.find(',')) + size;
}

// The frame log's first line, about the GUI as set up: its scale, a style size, the fonts.
void log_gui(std::FILE* log, const AppState& app) {
    std::fprintf(log, "# gui scale=%.2f padding=%.1f ui=%s heading=%s mono=%s mono_large=%s\n",
                 static_cast<double>(app.dpi_scale), static_cast<double>(ImGui::GetStyle().WindowPadding.x),
                 font_fact(app.font_ui).c_str(), font_fact(app.font_heading).c_str(),
                 font_fact(app.font_mono).c_str(), font_fact(app.font_mono_large).c_str());
}

}  // namespace

std::unique_ptr<AppState> make_app_state() {
    // The leaderboard comes from the environment, as in the program users run.
    auto app = std::make_unique<AppState>();
    // By default a run of a fraction of a second; the score stays far below what
    // the server still accepts as plausible.
    BenchmarkConfig settings = app->runs.settings();
    settings.width = 64;
    settings.height = 36;
    settings.samples = 4;
    // A benchmark may time a real run in the window: VORNMARK_TEST_RUN=640x360x32.
    const std::string run = environment("VORNMARK_TEST_RUN", "");
    if (!run.empty() && !parse_test_run(run, settings))
        std::fprintf(stderr,
                     "vornmark-e2e: VORNMARK_TEST_RUN must be WIDTHxHEIGHTxSAMPLES (1 to 100000 each), "
                     "not \"%s\"; using the tiny run\n",
                     run.c_str());
    app->runs.set_settings(settings);
    return app;
}

void frame_drawn(const AppState& app, const FrameFacts& facts) {
    static std::FILE* log = [] {
        const std::string path = environment("VORNMARK_TEST_FRAME_LOG", "");
        return path.empty() ? nullptr : std::fopen(path.c_str(), "w");
    }();
    if (log == nullptr) return;
    static bool gui_logged = false;
    if (!gui_logged) log_gui(log, app);
    gui_logged = true;
    const double unix_seconds =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    const RunProgress& progress = app.runs.progress();
    const std::string line = progress.running ? progress_text(ProgressLayout::Window, progress) : "-";
    std::fprintf(log, "%.6f %d %d %d %.6f %dx%d %d %s\n", unix_seconds, progress.running ? 1 : 0,
                 progress.tiles_done, progress.tiles_total, facts.window_cpu_seconds, facts.buffer_width,
                 facts.buffer_height, facts.resizes, line.c_str());
    std::fflush(log);
}

}  // namespace vornmark::app
