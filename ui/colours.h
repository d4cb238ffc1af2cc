#pragma once

#include <imgui.h>

// Every colour the panels draw with, one name per value: the two accents on the window's dark
// greys, the text greys from dark to light, the error reds and the button faces. (The style's
// own slots are set in app/style.cpp.)

inline const ImVec4 teal(0.0f, 0.831f, 0.667f, 1.0f);
inline const ImVec4 orange(1.0f, 0.42f, 0.208f, 1.0f);
inline const ImVec4 white(1.0f, 1.0f, 1.0f, 1.0f);

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
