#pragma once

#include <string>

struct ImFont;

// Path of the font file that fontconfig finds best for `family`, trying `generic`
// ("sans-serif", "monospace") when the family itself is not installed. Empty when
// nothing scalable (TrueType or CFF) is found.
std::string match_font_file(const char* family, const char* generic);

struct WindowFonts {
    ImFont* ui = nullptr;          // proportional body text, 16 px
    ImFont* mono = nullptr;        // monospaced values, 15 px
    ImFont* mono_large = nullptr;  // monospaced scores, 28 px
    ImFont* heading = nullptr;     // proportional header, 24 px
};

// Adds the four fonts to the GUI's atlas, sizes times `scale`, the first one becoming
// the default font. The built-in font stands in for a face that cannot be loaded, and
// the large fonts fall back to their body font.
WindowFonts load_fonts(float scale);
