#pragma once

#include <string>

struct ImFont;

namespace vornmark::app {

// A font face as the system has it: its name and the bytes of its TrueType or OpenType file.
// Empty bytes: none was found.
struct FontFace {
    std::string name;
    std::string bytes;
};

// The faces the window draws with, one file per platform (fonts_linux.cpp: fontconfig;
// fonts_windows.cpp: GDI): a proportional face for the text, headings included, and a monospaced
// one for values and scores.
FontFace find_proportional_face();
FontFace find_monospaced_face();

// Linux: the path of the font file that fontconfig finds best for `family`, trying `generic`
// ("sans-serif", "monospace") when the family itself is not installed. Empty when nothing
// scalable (TrueType or CFF) is found.
std::string match_font_file(const char* family, const char* generic);

struct WindowFonts {
    ImFont* ui = nullptr;          // proportional body text, 16 px
    ImFont* mono = nullptr;        // monospaced values, 15 px
    ImFont* mono_large = nullptr;  // monospaced scores, 28 px
    ImFont* heading = nullptr;     // proportional header, 24 px
};

// Adds the four fonts to the GUI's atlas from the two faces, sizes times `scale`, the first one
// becoming the default font. For a face that is missing, the built-in font stands in: at its own
// size (times the whole part of the scale) for the body fonts, and twice that for the heading and
// the scores, so that they still stand out.
WindowFonts add_window_fonts(const FontFace& proportional, const FontFace& monospaced, float scale);

// add_window_fonts with the system's faces.
WindowFonts load_fonts(float scale);

}  // namespace vornmark::app
