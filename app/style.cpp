#include "app/style.h"

#include <imgui.h>

#include "ui/colours.h"

namespace vornmark::app {

void apply_vornmark_style() {
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowPadding = ImVec2(12.0f, 12.0f);
    style.WindowRounding = 0.0f;
    style.WindowBorderSize = 0.0f;
    style.ChildRounding = 4.0f;
    style.ChildBorderSize = 1.0f;
    style.PopupRounding = 4.0f;
    style.PopupBorderSize = 1.0f;
    style.FramePadding = ImVec2(8.0f, 5.0f);
    style.FrameRounding = 4.0f;
    style.FrameBorderSize = 0.0f;
    style.ItemSpacing = ImVec2(8.0f, 6.0f);
    style.ItemInnerSpacing = ImVec2(6.0f, 4.0f);
    style.ScrollbarSize = 12.0f;
    style.ScrollbarRounding = 4.0f;
    style.GrabMinSize = 10.0f;
    style.GrabRounding = 4.0f;
    style.TabRounding = 4.0f;

    ImVec4* c = style.Colors;
    c[ImGuiCol_Text] = ImVec4(0.9f, 0.9f, 0.9f, 1.0f);
    c[ImGuiCol_TextDisabled] = ImVec4(0.5f, 0.5f, 0.5f, 1.0f);
    c[ImGuiCol_WindowBg] = ImVec4(0.051f, 0.051f, 0.051f, 1.0f);
    c[ImGuiCol_ChildBg] = ImVec4(0.078f, 0.078f, 0.078f, 1.0f);
    c[ImGuiCol_PopupBg] = ImVec4(0.102f, 0.102f, 0.102f, 1.0f);
    c[ImGuiCol_Border] = ImVec4(0.15f, 0.15f, 0.15f, 1.0f);
    c[ImGuiCol_BorderShadow] = ImVec4(0.0f, 0.0f, 0.0f, 0.0f);
    c[ImGuiCol_FrameBg] = ImVec4(0.12f, 0.12f, 0.12f, 1.0f);
    c[ImGuiCol_FrameBgHovered] = ImVec4(0.16f, 0.16f, 0.16f, 1.0f);
    c[ImGuiCol_FrameBgActive] = ImVec4(0.2f, 0.2f, 0.2f, 1.0f);
    c[ImGuiCol_TitleBg] = ImVec4(0.051f, 0.051f, 0.051f, 1.0f);
    c[ImGuiCol_TitleBgActive] = ImVec4(0.08f, 0.08f, 0.08f, 1.0f);
    c[ImGuiCol_TitleBgCollapsed] = ImVec4(0.051f, 0.051f, 0.051f, 1.0f);
    c[ImGuiCol_MenuBarBg] = ImVec4(0.102f, 0.102f, 0.102f, 1.0f);
    c[ImGuiCol_ScrollbarBg] = ImVec4(0.051f, 0.051f, 0.051f, 1.0f);
    c[ImGuiCol_ScrollbarGrab] = ImVec4(0.2f, 0.2f, 0.2f, 1.0f);
    c[ImGuiCol_ScrollbarGrabHovered] = ImVec4(0.3f, 0.3f, 0.3f, 1.0f);
    c[ImGuiCol_ScrollbarGrabActive] = ImVec4(0.4f, 0.4f, 0.4f, 1.0f);
    c[ImGuiCol_CheckMark] = teal;
    c[ImGuiCol_SliderGrab] = teal;
    c[ImGuiCol_SliderGrabActive] = teal;
    c[ImGuiCol_Button] = ImVec4(0.15f, 0.15f, 0.15f, 1.0f);
    c[ImGuiCol_ButtonHovered] = ImVec4(0.0f, 0.6f, 0.48f, 1.0f);
    c[ImGuiCol_ButtonActive] = ImVec4(0.0f, 0.75f, 0.6f, 1.0f);
    c[ImGuiCol_Header] = ImVec4(0.15f, 0.15f, 0.15f, 1.0f);
    c[ImGuiCol_HeaderHovered] = ImVec4(0.0f, 0.5f, 0.4f, 0.5f);
    c[ImGuiCol_HeaderActive] = ImVec4(0.0f, 0.6f, 0.48f, 1.0f);
    c[ImGuiCol_Separator] = ImVec4(0.15f, 0.15f, 0.15f, 1.0f);
    c[ImGuiCol_SeparatorHovered] = teal;
    c[ImGuiCol_SeparatorActive] = teal;
    c[ImGuiCol_ResizeGrip] = ImVec4(0.15f, 0.15f, 0.15f, 1.0f);
    c[ImGuiCol_ResizeGripHovered] = teal;
    c[ImGuiCol_ResizeGripActive] = teal;
    c[ImGuiCol_TabHovered] = ImVec4(0.0f, 0.6f, 0.48f, 0.8f);
    c[ImGuiCol_Tab] = ImVec4(0.12f, 0.12f, 0.12f, 1.0f);
    // TabActive and the unfocused tab slots keep the dark theme's values.
    c[ImGuiCol_PlotLines] = teal;
    c[ImGuiCol_PlotHistogram] = orange;
    c[ImGuiCol_PlotHistogramHovered] = teal;
    c[ImGuiCol_TableHeaderBg] = ImVec4(0.12f, 0.12f, 0.12f, 1.0f);
    c[ImGuiCol_TableBorderStrong] = ImVec4(0.15f, 0.15f, 0.15f, 1.0f);
    c[ImGuiCol_TableBorderLight] = ImVec4(0.12f, 0.12f, 0.12f, 1.0f);
    c[ImGuiCol_TableRowBg] = ImVec4(0.0f, 0.0f, 0.0f, 0.0f);
    c[ImGuiCol_TableRowBgAlt] = ImVec4(0.05f, 0.05f, 0.05f, 1.0f);
}

}  // namespace vornmark::app
