#pragma once

#include <imgui.h>

namespace vornmark {

// Every colour the panels draw with, one name per value: the two accents on the window's dark
// greys, the text greys from dark to light, the error reds, the button faces, and the packed
// colours of the shapes drawn straight onto the draw list. (The style's own slots are set in
// app/style.cpp.)

inline const ImVec4 teal(0.0f, 0.831f, 0.667f, 1.0f);
inline const ImVec4 orange(1.0f, 0.42f, 0.208f, 1.0f);
inline const ImVec4 white(1.0f, 1.0f, 1.0f, 1.0f);
inline const ImVec4 transparent(0.0f, 0.0f, 0.0f, 0.0f);

inline const ImVec4 placeholder_grey(0.3f, 0.3f, 0.3f, 1.0f);  // "---" where no score is yet
inline const ImVec4 muted_grey(0.4f, 0.4f, 0.4f, 1.0f);        // empty states, "Best:", the version
inline const ImVec4 label_grey(0.5f, 0.5f, 0.5f, 1.0f);        // row labels, counts, statuses
inline const ImVec4 light_grey(0.7f, 0.7f, 0.7f, 1.0f);        // the progress line

inline const ImVec4 amber(1.0f, 0.75f, 0.2f, 1.0f);  // a run's conditions when not quiet

inline const ImVec4 error_red(0.8f, 0.2f, 0.2f, 1.0f);      // a refused run, a failed submission
inline const ImVec4 dim_error_red(0.6f, 0.2f, 0.2f, 1.0f);  // a failed standings fetch

// Single-Core and Multi-Core buttons (teal family), Run Both (orange family), delete.
inline const ImVec4 core_button(0.0f, 0.5f, 0.4f, 1.0f);
inline const ImVec4 core_button_hovered(0.0f, 0.65f, 0.52f, 1.0f);
inline const ImVec4 core_button_active(0.0f, 0.75f, 0.6f, 1.0f);
inline const ImVec4 both_button(0.6f, 0.25f, 0.1f, 1.0f);
inline const ImVec4 both_button_hovered(0.75f, 0.32f, 0.12f, 1.0f);
inline const ImVec4 both_button_active(0.9f, 0.4f, 0.15f, 1.0f);
inline const ImVec4 delete_button(0.4f, 0.1f, 0.1f, 1.0f);

// A histogram of runs: its bars, the median across them and the marker at the user's score.
inline const ImVec4 histogram_bar(0.0f, 0.5f, 0.4f, 1.0f);
inline const ImVec4 histogram_median(0.7f, 0.7f, 0.7f, 1.0f);
inline const ImVec4 histogram_marker(1.0f, 0.42f, 0.208f, 1.0f);
// Shapes on the draw list: the dark wells (the CPU graph, the preview before a run) and the
// progress bar, from the darkest fill to the lightest line.
constexpr ImU32 well_fill = IM_COL32(10, 10, 10, 255);
constexpr ImU32 bar_track = IM_COL32(21, 21, 21, 255);
constexpr ImU32 grid_line = IM_COL32(26, 26, 26, 255);
constexpr ImU32 well_border = IM_COL32(32, 32, 32, 255);
constexpr ImU32 faint_line = IM_COL32(48, 48, 48, 255);   // the graph's grid labels, the bar's border
constexpr ImU32 hint_text = IM_COL32(64, 64, 64, 255);    // the preview's "Start a benchmark" hint
constexpr ImU32 detail_text = IM_COL32(96, 96, 96, 255);  // what a run does, under the hint
// The teal accent as fills: the bar during a run and after it, the CPU graph's area and curve
// (during a run and idle), the own processor's row in the standings.
constexpr ImU32 bar_fill_running = IM_COL32(0, 212, 170, 255);
constexpr ImU32 bar_fill_idle = IM_COL32(0, 160, 128, 255);
constexpr ImU32 graph_area_running = IM_COL32(0, 212, 170, 37);
constexpr ImU32 graph_area_idle = IM_COL32(0, 212, 170, 21);
constexpr ImU32 graph_curve_running = IM_COL32(0, 212, 170, 221);
constexpr ImU32 graph_curve_idle = IM_COL32(0, 212, 170, 128);
constexpr ImU32 own_row_fill = IM_COL32(0, 212, 170, 32);
// The highlight that sweeps over the bar during a run, `alpha` of 255 opaque.
constexpr ImU32 bar_highlight(int alpha) {
    return IM_COL32(255, 255, 255, alpha);
}

}  // namespace vornmark
