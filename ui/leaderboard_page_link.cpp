#include "ui/leaderboard_page_link.h"

#include <vector>

#include "net/leaderboard_page.h"
#include "ui/app_state.h"
#include "ui/colours.h"
#include "ui/wrapped_text.h"

namespace vornmark {

namespace {

constexpr const char* open_label = "Open in browser";

// Teal text that reads as a link: underlined and a hand under the mouse, the address as its tip.
bool link(const char* label, const std::string& tip) {
    ImGui::TextColored(teal, "%s", label);
    if (!ImGui::IsItemHovered()) return false;
    ImGui::SetMouseCursor(ImGuiMouseCursor_Hand);
    const ImVec2 min = ImGui::GetItemRectMin();
    const ImVec2 max = ImGui::GetItemRectMax();
    ImGui::GetWindowDrawList()->AddLine(ImVec2(min.x, max.y), max, ImGui::GetColorU32(teal));
    ImGui::SetTooltip("%s", tip.c_str());
    return ImGui::IsMouseClicked(ImGuiMouseButton_Left);
}

}  // namespace

void draw_leaderboard_page_link(AppState& app, RunKind kind) {
    const LeaderboardPage page = leaderboard_page(app.leaderboard_client.setting(), kind);
    if (page.url.empty()) return;
    if (page.browser_trusts) {
        if (link(open_label, page.url)) app.browser_problem = app.open_url(page.url);
        if (!app.browser_problem.empty()) {
            ImGui::PushStyleColor(ImGuiCol_Text, error_red);
            text_wrapped_at_blanks(app.browser_problem);
            ImGui::PopStyleColor();
        }
        return;
    }
    // Selectable text, so that the address can be copied into a browser.
    std::vector<char> text(page.url.begin(), page.url.end());
    text.push_back('\0');
    ImGui::TextColored(label_grey, "Page:");
    ImGui::SameLine();
    ImGui::PushItemWidth(-1.0f);
    ImGui::InputText("##lb_page", text.data(), text.size(), ImGuiInputTextFlags_ReadOnly);
    ImGui::PopItemWidth();
    ImGui::PushStyleColor(ImGuiCol_Text, label_grey);
    text_wrapped_at_blanks(page.note);
    ImGui::PopStyleColor();
}

}  // namespace vornmark
