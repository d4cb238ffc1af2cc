#include "app/fonts.h"

#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <cstring>

#include <imgui.h>

namespace {

ImFont* add_font_file(const std::string& path, float size) {
    // ImGui asserts on a file it cannot open; an unreadable match counts as none.
    if (path.empty() || access(path.c_str(), R_OK) != 0) {
        return nullptr;
    }
    return ImGui::GetIO().Fonts->AddFontFromFileTTF(path.c_str(), size);
}

}  // namespace

std::string match_font_file(const char* family, const char* generic) {
    // A configuration of our own, released again: the lookup leaves no global state.
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) {
        return {};
    }
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) {
        FcConfigDestroy(config);
        return {};
    }
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(generic));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    std::string path;
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    if (match != nullptr) {
        FcChar8* file = nullptr;
        FcChar8* format = nullptr;
        FcBool scalable = FcFalse;
        int index = 0;
        const bool has_file = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
        const bool has_format = FcPatternGetString(match, FC_FONTFORMAT, 0, &format) == FcResultMatch;
        FcPatternGetBool(match, FC_SCALABLE, 0, &scalable);
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        // The GUI's rasteriser reads TrueType and CFF outlines, first face of a file.
        const bool readable =
            has_format && (std::strcmp(reinterpret_cast<const char*>(format), "TrueType") == 0 ||
                           std::strcmp(reinterpret_cast<const char*>(format), "CFF") == 0);
        if (has_file && readable && scalable && index == 0) {
            path = reinterpret_cast<const char*>(file);
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return path;
}

WindowFonts load_fonts(float scale) {
    WindowFonts fonts;
    ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    const std::string ui_file = match_font_file("Segoe UI", "sans-serif");
    const std::string mono_file = match_font_file("Consolas", "monospace");

    fonts.ui = add_font_file(ui_file, 16.0f * scale);
    if (fonts.ui == nullptr) {
        fonts.ui = atlas->AddFontDefault();
    }
    fonts.mono = add_font_file(mono_file, 15.0f * scale);
    if (fonts.mono == nullptr) {
        fonts.mono = atlas->AddFontDefault();
    }
    fonts.mono_large = add_font_file(mono_file, 28.0f * scale);
    if (fonts.mono_large == nullptr) {
        fonts.mono_large = fonts.mono;
    }
    fonts.heading = add_font_file(ui_file, 24.0f * scale);
    if (fonts.heading == nullptr) {
        fonts.heading = fonts.ui;
    }
    return fonts;
}
