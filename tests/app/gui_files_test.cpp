// The window's fonts and layout file, with a GUI context of the test's own and no window.
#include <gtest/gtest.h>

#include <imgui.h>

#include <string>

#include "app/fonts.h"
#include "app/layout_file.h"
#include "history/history_path.h"
#include "history/read_whole_file.h"
#include "tests/support/temp_dir.h"

namespace vornmark::app {

namespace {

// A GUI context that can draw frames: a display size and a built font atlas.
class GuiContext {
public:
    GuiContext() {
        ImGui::CreateContext();
        ImGui::GetIO().DisplaySize = ImVec2(800.0f, 600.0f);
    }
    ~GuiContext() { ImGui::DestroyContext(); }
    GuiContext(const GuiContext&) = delete;
    GuiContext& operator=(const GuiContext&) = delete;

    static void build_fonts() {
        unsigned char* pixels = nullptr;
        int width = 0;
        int height = 0;
        ImGui::GetIO().Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    }
};

std::string font_name(const ImFont* font) {
    return font->GetDebugName();
}

}  // namespace

TEST(WindowFonts, WithoutFacesTheBuiltInFontStandsInAndTheLargeOnesStillStandOut) {
    for (const float scale : {1.0f, 1.5f, 2.0f}) {
        SCOPED_TRACE(scale);
        const GuiContext gui;
        const WindowFonts fonts = add_window_fonts({}, {}, scale);
        GuiContext::build_fonts();
        EXPECT_EQ(font_name(fonts.ui).rfind("ProggyClean.ttf", 0), 0u) << font_name(fonts.ui);
        EXPECT_GE(fonts.ui->FontSize, 13.0f);
        EXPECT_GE(fonts.mono_large->FontSize, 2.0f * fonts.ui->FontSize);
        EXPECT_GE(fonts.heading->FontSize, 2.0f * fonts.ui->FontSize);
        EXPECT_EQ(fonts.mono->FontSize, fonts.ui->FontSize);
    }
}

TEST(LayoutFile, InstalledProgramsKeepItBesideTheHistoryOthersWhereTheLibraryPutsIt) {
    const TempDir dir;
    const std::string program = dir.file("bin/vornmark");
    EXPECT_EQ(layout_file_path(history_path_beside(program), program), "");
    const std::string user_history = history_path_beside(dir.file("data/vornmark"));
    const std::string expected = user_history.substr(0, user_history.size() - 12) + "imgui.ini";
    EXPECT_EQ(layout_file_path(user_history, program), expected);
}

TEST(LayoutFile, IsWrittenIntoAFolderItMakesAndReadAtTheNextStart) {
    const TempDir dir;
    const std::string path = dir.file("Vornmark ベンチ/imgui.ini");
    {
        const GuiContext gui;
        GuiContext::build_fonts();
        LayoutFile layout(path);
        EXPECT_EQ(ImGui::GetIO().IniFilename, nullptr) << "the library would write its own file too";
        ImGui::NewFrame();
        ImGui::SetNextWindowPos(ImVec2(123.0f, 45.0f));
        ImGui::Begin("probe");
        ImGui::End();
        ImGui::Render();
        layout.save();
    }
    std::string text;
    ASSERT_TRUE(read_whole_file(path, text));
    EXPECT_NE(text.find("[Window][probe]"), std::string::npos) << text;

    const GuiContext gui;
    GuiContext::build_fonts();
    const LayoutFile layout(path);
    ImGui::NewFrame();
    ImGui::Begin("probe");
    const ImVec2 position = ImGui::GetWindowPos();
    ImGui::End();
    ImGui::Render();
    EXPECT_EQ(position.x, 123.0f);
    EXPECT_EQ(position.y, 45.0f);
}

}  // namespace vornmark::app
