#pragma once

namespace vornmark {

struct AppState;

void draw_history_panel(AppState& app);

// Content width the panel needs in the current font so that every column, a whole calendar date
// and the delete button after it show without sideways scrolling. The right column is made at
// least this wide.
float history_panel_width(float dpi_scale);

}  // namespace vornmark
