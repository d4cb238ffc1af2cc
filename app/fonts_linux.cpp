#include "app/fonts.h"

#include <fontconfig/fontconfig.h>

#include <cstring>

#include "history/read_whole_file.h"

namespace vornmark::app {

namespace {

// The file fontconfig matches, named by its file name as ImGui names a font file: "DejaVuSans.ttf".
FontFace face_of_file(const std::string& path) {
    FontFace face;
    if (path.empty() || !read_whole_file(path, face.bytes)) return {};
    face.name = path.substr(path.find_last_of('/') + 1);
    return face;
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

FontFace find_proportional_face() {
    return face_of_file(match_font_file("Segoe UI", "sans-serif"));
}

FontFace find_monospaced_face() {
    return face_of_file(match_font_file("Consolas", "monospace"));
}

}  // namespace vornmark::app
