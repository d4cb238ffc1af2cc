#pragma once

namespace vornmark {

struct AppState;

// The one window that fills the application window: header, three columns, tabs.
void draw_main_layout(AppState& app);

// Widths of the three columns for `available` pixels of content width at scale s:
// fixed side columns, the centre taking the rest (not clamped: it may reach zero or
// below in a narrow window). The right column is 320 x s, or `right_needed` when the
// history's table needs more in the font in use.
struct ColumnWidths {
    float left = 0.0f;
    float center = 0.0f;
    float right = 0.0f;
};
ColumnWidths column_widths(float available, float scale, float right_needed = 0.0f);

}  // namespace vornmark
