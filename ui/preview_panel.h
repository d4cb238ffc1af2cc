#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <imgui.h>

#include "history/history_entry.h"
#include "session/run_controller.h"

namespace vornmark {

struct AppState;

// The image being rendered (or a placeholder before the first run), then the
// progress line and bar below it.
void draw_preview_panel(AppState& app);
void draw_progress_panel(AppState& app, ImFont* mono);

// Size and horizontal offset of the preview image in a column with (aw, ah) free:
// the texture's aspect kept, 16 pixels narrower than the column and at most
// ah * 0.65 - 40 high, centred. Zero for a texture without area.
struct PreviewRect {
    float width = 0.0f;
    float height = 0.0f;
    float x_offset = 0.0f;
};
PreviewRect fit_preview(float available_width, float available_height, std::int32_t texture_width,
                        std::int32_t texture_height);

// Share of the tiles done, 0 when there is no plan yet.
float progress_fraction(std::int32_t done, std::int32_t total);

// "about 45 s", "about 28 min" (up to an hour and a half), "about 1 h 45 min".
std::string rough_duration(double seconds);

// What the placeholder says under its hint before the first run, one paragraph each: what a run of
// `settings` does, and roughly how long the runs of each kind took on the processor `cpu_name`
// (its latest runs in the history), or that they take minutes when it has none.
std::vector<std::string> idle_description(const BenchmarkConfig& settings,
                                          const std::vector<HistoryEntry>& history,
                                          const std::string& cpu_name);

// Opacity of the highlight that sweeps the bar, for its position u in [0, 1):
// 40 in the middle of the sweep, 0 at its ends.
int highlight_alpha(float u);

}  // namespace vornmark
