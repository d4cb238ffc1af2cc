// The fonts on Windows: Segoe UI and Consolas from the Windows font folder.
#include <windows.h>

#include <imgui.h>

#include <string>

#include "app/fonts.h"

namespace {

// "<Windows folder>\Fonts\<name>" (normally C:\Windows\Fonts).
std::string windows_font_file(const char* name) {
    char folder[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryA(folder, MAX_PATH);
    const std::string windows = length > 0 && length < MAX_PATH ? folder : "C:\\Windows";
    return windows + "\\Fonts\\" + name;
}

ImFont* add_font_file(const std::string& path, float size) {
    // ImGui asserts on a file it cannot open; a missing font counts as none.
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return nullptr;
    return ImGui::GetIO().Fonts->AddFontFromFileTTF(path.c_str(), size);
}

}  // namespace

WindowFonts load_fonts(float scale) {
    WindowFonts fonts;
    ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    const std::string ui_file = windows_font_file("segoeui.ttf");
    const std::string mono_file = windows_font_file("consola.ttf");

    fonts.ui = add_font_file(ui_file, 16.0f * scale);
    if (fonts.ui == nullptr) fonts.ui = atlas->AddFontDefault();
    fonts.mono = add_font_file(mono_file, 15.0f * scale);
    if (fonts.mono == nullptr) fonts.mono = atlas->AddFontDefault();
    fonts.mono_large = add_font_file(mono_file, 28.0f * scale);
    if (fonts.mono_large == nullptr) fonts.mono_large = fonts.mono;
    fonts.heading = add_font_file(ui_file, 24.0f * scale);
    if (fonts.heading == nullptr) fonts.heading = fonts.ui;
    return fonts;
}
