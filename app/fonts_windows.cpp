// The fonts on Windows, found by family through GDI, whatever files hold them: Segoe UI and
// Consolas, else the faces that every Windows since XP has (Tahoma, Verdana, Arial; Lucida
// Console), else the face GDI itself draws for Segoe UI or Consolas. Windows Server Core,
// stripped images and Wine's own prefixes may lack the named ones.
#include <windows.h>

#include <initializer_list>
#include <string>

#include "app/fonts.h"
#include "history/wide_text_windows.h"

namespace vornmark::app {

namespace {

// GetFontData's table tag for a whole TrueType collection, "ttcf" read as a little-endian DWORD.
constexpr DWORD collection_tag = 0x66637474;

enum class Pitch { Proportional, Fixed };
enum class Match { Exact, Nearest };

// The face GDI draws for `family` at regular weight, with its font file's bytes; none when the
// face is another family (unless the nearest will do), when a fixed pitch is asked for and the
// face has none, when it has no TrueType or OpenType outlines, or when it lies in a collection
// (the GUI's rasteriser would need its index in the file).
FontFace gdi_face(const wchar_t* family, Pitch pitch, Match match) {
    FontFace face;
    const HDC dc = ::CreateCompatibleDC(nullptr);
    if (dc == nullptr) return face;
    const DWORD pitch_and_family =
        pitch == Pitch::Fixed ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS;
    const HFONT font =
        ::CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_OUTLINE_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitch_and_family, family);
    if (font != nullptr) {
        const HGDIOBJ previous = ::SelectObject(dc, font);
        wchar_t chosen[LF_FACESIZE] = {};
        TEXTMETRICW metrics{};
        const bool named = ::GetTextFaceW(dc, LF_FACESIZE, chosen) > 0;
        // TMPF_FIXED_PITCH set means a variable pitch.
        const bool pitch_fits =
            ::GetTextMetricsW(dc, &metrics) != 0 &&
            (pitch == Pitch::Proportional || (metrics.tmPitchAndFamily & TMPF_FIXED_PITCH) == 0);
        const bool family_fits = match == Match::Nearest || ::lstrcmpiW(chosen, family) == 0;
        const DWORD size = ::GetFontData(dc, 0, 0, nullptr, 0);
        if (named && pitch_fits && family_fits &&
            ::GetFontData(dc, collection_tag, 0, nullptr, 0) == GDI_ERROR && size != GDI_ERROR && size > 0) {
            face.bytes.resize(size);
            if (::GetFontData(dc, 0, 0, face.bytes.data(), size) == size)
                face.name = utf8_from_wide(chosen);
            else
                face.bytes.clear();
        }
        ::SelectObject(dc, previous);
        ::DeleteObject(font);
    }
    ::DeleteDC(dc);
    return face;
}

// The first of `families` that is installed, else the face GDI draws for the first of them.
FontFace first_face(std::initializer_list<const wchar_t*> families, Pitch pitch) {
    for (const wchar_t* family : families) {
        FontFace face = gdi_face(family, pitch, Match::Exact);
        if (!face.bytes.empty()) return face;
    }
    return gdi_face(*families.begin(), pitch, Match::Nearest);
}

}  // namespace

FontFace find_proportional_face() {
    return first_face({L"Segoe UI", L"Tahoma", L"Verdana", L"Arial"}, Pitch::Proportional);
}

FontFace find_monospaced_face() {
    return first_face({L"Consolas", L"Lucida Console"}, Pitch::Fixed);
}

}  // namespace vornmark::app
