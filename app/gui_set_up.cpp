#include "app/gui_set_up.h"

#include <imgui.h>

#include "app/fonts.h"
#include "app/style.h"
#include "ui/app_state.h"

namespace vornmark::app {

void create_gui_context() {
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGui::GetIO().ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
    apply_vornmark_style();
}

void scale_gui(AppState& app, float scale) {
    const WindowFonts fonts = load_fonts(scale);
    app.font_ui = fonts.ui;
    app.font_mono = fonts.mono;
    app.font_mono_large = fonts.mono_large;
    app.font_heading = fonts.heading;
    ImGui::GetStyle().ScaleAllSizes(scale);
    app.dpi_scale = scale;
}

}  // namespace vornmark::app
