// The fonts on Windows: Segoe UI and Consolas from the Windows font folder.
#include <windows.h>

#include <imgui.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/fonts.h"
#include "history/read_whole_file.h"
#include "history/wide_text_windows.h"

namespace {

// "<Windows folder>\Fonts\<name>" (normally C:\Windows\Fonts), as UTF-8 whatever the folder's name.
std::string windows_font_file(const char* name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(folder, MAX_PATH);
    const std::string windows = length > 0 && length < MAX_PATH ? utf8_from_wide(folder) : "C:\\Windows";
    return windows + "\\Fonts\\" + name;
}

ImFont* add_font_file(const std::string& path, float size) {
    // Read here rather than by ImGui, which opens files with the C library's narrow fopen under
    // MinGW, and asserts on a file it cannot open; a missing font counts as none.
    std::string bytes;
    if (!read_whole_file(path, bytes) || bytes.empty()) return nullptr;
    void* data = IM_ALLOC(bytes.size());  // the atlas owns and frees it
    std::memcpy(data, bytes.data(), bytes.size());
    // Named as ImGui names a font it loads from a file: "segoeui.ttf, 16px".
    ImFontConfig config;
    const std::string file = path.substr(path.find_last_of("\\/") + 1);
    std::snprintf(config.Name, sizeof config.Name, "%s, %.0fpx", file.c_str(), static_cast<double>(size));
    return ImGui::GetIO().Fonts->AddFontFromMemoryTTF(data, static_cast<int>(bytes.size()), size, &config);
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
