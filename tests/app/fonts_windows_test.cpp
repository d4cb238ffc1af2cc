// The window's fonts under Windows, found by family through GDI. Run in a fresh Wine prefix, which
// has neither Segoe UI nor Consolas: the score must still be drawn larger than the body text, in a
// TrueType face.
#include <gtest/gtest.h>

#include <imgui.h>

#include <cstring>
#include <string>

#include "app/fonts.h"

namespace vornmark::app {

namespace {

// TrueType ("\0\1\0\0", "true") or OpenType ("OTTO") outlines.
bool is_outline_font(const std::string& bytes) {
    if (bytes.size() < 12) return false;
    const std::string tag = bytes.substr(0, 4);
    return tag == std::string("\0\1\0\0", 4) || tag == "true" || tag == "OTTO";
}

}  // namespace

TEST(WindowsFonts, FacesComeByFamilyFromTheSystemAndTheScoreStandsOutInOne) {
    const FontFace proportional = find_proportional_face();
    const FontFace monospaced = find_monospaced_face();
    EXPECT_TRUE(is_outline_font(proportional.bytes)) << proportional.name;
    EXPECT_TRUE(is_outline_font(monospaced.bytes)) << monospaced.name;
    EXPECT_NE(proportional.name, monospaced.name);

    ImGui::CreateContext();
    const WindowFonts fonts = add_window_fonts(proportional, monospaced, 1.0f);
    unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    ImGui::GetIO().Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    ASSERT_NE(pixels, nullptr);
    const std::string score_face = fonts.mono_large->GetDebugName();
    EXPECT_EQ(score_face, monospaced.name + ", 28px");
    EXPECT_GT(fonts.mono_large->FontSize, fonts.ui->FontSize);
    EXPECT_GT(fonts.heading->FontSize, fonts.ui->FontSize);
    EXPECT_EQ(std::string(fonts.ui->GetDebugName()), proportional.name + ", 16px");
    // Glyphs were rasterised from the face: the score's digits are taller than the body's.
    const ImFontGlyph* score_digit = fonts.mono_large->FindGlyphNoFallback('8');
    const ImFontGlyph* body_digit = fonts.ui->FindGlyphNoFallback('8');
    ASSERT_NE(score_digit, nullptr);
    ASSERT_NE(body_digit, nullptr);
    EXPECT_GT(score_digit->Y1 - score_digit->Y0, body_digit->Y1 - body_digit->Y0);
    ImGui::DestroyContext();
}

}  // namespace vornmark::app
