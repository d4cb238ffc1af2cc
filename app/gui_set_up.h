#pragma once

namespace vornmark {
struct AppState;
}  // namespace vornmark

namespace vornmark::app {

// The GUI context with the program's style and keyboard navigation, before the platform
// backends are initialised ("imgui.ini" keeps its default name; the frame loop moves it beside
// the history for an installed program, see LayoutFile).
void create_gui_context();

// The program's fonts and the style's sizes at the window's scale (DPI / 96), fixed from
// here on, kept in the state for the panels.
void scale_gui(AppState& app, float scale);

}  // namespace vornmark::app
