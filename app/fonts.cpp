#include "app/fonts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <imgui.h>

namespace vornmark::app {

namespace {

// The built-in font is drawn for 13 pixels; whole multiples keep it sharp.
constexpr float built_in_size = 13.0f;

ImFont* add_face(const FontFace& face, float size) {
    if (face.bytes.empty()) return nullptr;
    void* data = IM_ALLOC(face.bytes.size());  // the atlas owns and frees it
    std::memcpy(data, face.bytes.data(), face.bytes.size());
    // Named as ImGui names a font it loads from a file: "DejaVuSans.ttf, 16px", "Tahoma, 16px".
    ImFontConfig config;
    std::snprintf(config.Name, sizeof config.Name, "%s, %.0fpx", face.name.c_str(),
                  static_cast<double>(size));
    return ImGui::GetIO().Fonts->AddFontFromMemoryTTF(data, static_cast<int>(face.bytes.size()), size,
                                                      &config);
}

ImFont* add_built_in(float size) {
    ImFontConfig config;
    config.SizePixels = size;
    return ImGui::GetIO().Fonts->AddFontDefault(&config);
}

}  // namespace

WindowFonts add_window_fonts(const FontFace& proportional, const FontFace& monospaced, float scale) {
    const float built_in_body = built_in_size * std::max(1.0f, std::floor(scale));
    WindowFonts fonts;
    fonts.ui = add_face(proportional, 16.0f * scale);
    if (fonts.ui == nullptr) fonts.ui = add_built_in(built_in_body);
    fonts.mono = add_face(monospaced, 15.0f * scale);
    if (fonts.mono == nullptr) fonts.mono = add_built_in(built_in_body);
    fonts.mono_large = add_face(monospaced, 28.0f * scale);
    if (fonts.mono_large == nullptr) fonts.mono_large = add_built_in(2.0f * built_in_body);
    fonts.heading = add_face(proportional, 24.0f * scale);
    if (fonts.heading == nullptr)
        fonts.heading = monospaced.bytes.empty() ? fonts.mono_large : add_built_in(2.0f * built_in_body);
    return fonts;
}

WindowFonts load_fonts(float scale) {
    return add_window_fonts(find_proportional_face(), find_monospaced_face(), scale);
}

}  // namespace vornmark::app
