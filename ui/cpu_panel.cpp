#include "ui/cpu_panel.h"

#include <algorithm>
#include <cfloat>
#include <cstdio>

#include "engine/steady_clock.h"
#include "ui/app_state.h"
#include "ui/colours.h"
#include "ui/cpu_monitor.h"

namespace vornmark {

namespace {

constexpr float graph_margin = 8.0f;
constexpr float graph_min_height = 80.0f;
constexpr float graph_rounding = 4.0f;
constexpr float curve_thickness = 1.5f;
constexpr const char* title = "CPU UTILIZATION";

void draw_graph(const CpuMonitor& m, bool running) {
    const ImU32 area = running ? graph_area_running : graph_area_idle;
    const ImU32 curve = running ? graph_curve_running : graph_curve_idle;

    const ImVec2 origin = ImGui::GetCursorScreenPos();
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    const float x0 = origin.x;
    const float y0 = origin.y;
    const float w = avail.x - graph_margin;
    const float h = std::max(avail.y - graph_margin, graph_min_height);
    const float right = x0 + w;
    const float bottom = y0 + h;

    ImDrawList* draw = ImGui::GetWindowDrawList();
    draw->AddRectFilled(ImVec2(x0, y0), ImVec2(right, bottom), well_fill, graph_rounding);

    for (int pct = 25; pct <= 100; pct += 25) {
        const float y = bottom - static_cast<float>(pct) * h * 0.01f;
        draw->AddLine(ImVec2(x0, y), ImVec2(right, y), grid_line, 1.0f);
        char label[8];
        std::snprintf(label, sizeof label, "%d%%", pct);
        draw->AddText(ImVec2(x0 + 4.0f, y + 2.0f), faint_line, label);
    }

    if (m.count > 1) {
        const int start = cpu_monitor_oldest_slot(m);
        const float step = w * 0.0033444816f;  // w / 299: 300 values span the width
        const int shift = CpuMonitor::ring_size - m.count;
        for (int i = 1; i < m.count; ++i) {
            const float xa = x0 + static_cast<float>(i - 1 + shift) * step;
            const float xb = x0 + static_cast<float>(i + shift) * step;
            const float va = m.ring[(start + i - 1) % CpuMonitor::ring_size];
            const float vb = m.ring[(start + i) % CpuMonitor::ring_size];
            const float ya = bottom - h * va * 0.01f;
            const float yb = bottom - h * vb * 0.01f;
            draw->AddQuadFilled(ImVec2(xa, ya), ImVec2(xb, yb), ImVec2(xb, bottom), ImVec2(xa, bottom), area);
            draw->AddLine(ImVec2(xb, yb), ImVec2(xa, ya), curve, curve_thickness);
        }
    }

    draw->AddRect(ImVec2(x0, y0), ImVec2(right, bottom), well_border, graph_rounding, 0, 1.0f);
    ImGui::Dummy(ImVec2(w, h));
}

}  // namespace

float cpu_panel_width(ImFont* mono) {
    ImFont* usage_font = mono != nullptr ? mono : ImGui::GetFont();
    return ImGui::CalcTextSize(title).x + ImGui::GetStyle().ItemSpacing.x +
           usage_font->CalcTextSizeA(usage_font->FontSize, FLT_MAX, 0.0f, "avg 100%").x;
}

void draw_cpu_panel(AppState& app, ImFont* mono) {
    CpuMonitor& m = app.cpu_monitor;
    const bool running = app.runs.busy();
    cpu_monitor_sample(m, running, steady_now_seconds(),
                       [](SystemTimes& reading) { return read_system_times(reading); });

    if (m.count == 0) return;

    ImGui::Spacing();
    ImGui::PushStyleColor(ImGuiCol_Text, teal);
    ImGui::TextUnformatted(title);
    ImGui::PopStyleColor();
    ImGui::SameLine();

    if (mono) ImGui::PushFont(mono);
    if (running)
        ImGui::TextColored(white, "%.0f%%", m.smoothed);
    else
        ImGui::TextColored(label_grey, "avg %.0f%%", cpu_monitor_average(m));
    if (mono) ImGui::PopFont();

    ImGui::Separator();
    draw_graph(m, running);
}

}  // namespace vornmark
